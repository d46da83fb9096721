#pragma once

#include <string>

#include "core/configuration.h"

namespace telvano::api {

// The API's own folders, below ApplData where only the program may write: its invoices and commands go in
// and come out here, never through the POS's exchange folder, and the answers kept for its keys lie here.
struct ApiFolders {
  std::string root;     // ApplData/Api
  std::string input;    // Inp: the file a request carries, as the road reads it
  std::string output;   // Out: the road's result files, until they are kept as the answer
  std::string archive;  // Archive: the road's work files and refused inputs
  std::string answers;  // Answers: <key>.json, the answer of each key

  static ApiFolders Under(const std::string& applDataDir);
  // Creates the folders that are missing, mode 0700; raises std::system_error.
  void Create() const;
  // A copy of `base` whose input, output and archive folders are these.
  core::Configuration RoadConfiguration(const core::Configuration& base) const;
};

}  // namespace telvano::api
