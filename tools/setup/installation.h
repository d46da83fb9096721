#pragma once

#include <iosfwd>
#include <string>

#include "setup_options.h"

namespace telvano::setup {

// The paths of one installation under its root folder.
struct InstallationLayout {
  explicit InstallationLayout(const SetupOptions& options);

  std::string root;
  std::string applRoot;      // root/TELVANO: ApplData, Logs, RunTime
  std::string exchangeRoot;  // root/ExchData: SDC_Inp, SDC_Out, Archive
  std::string dataDir;       // root/Data: the database, Certificate, BackupDB
  std::string database;      // root/Data/TELVANO.FDB
  std::string printDir;      // root/Prints unless --print-dir says otherwise
  std::string configFile;    // root/TELVANO.conf
};

// Creates (or, with --add-lpfr on an existing installation, extends) an installation and reports every
// step on `out`; problems go to `err`. Returns the process exit code: 0 done, 1 refused or failed.
int RunSetup(const SetupOptions& options, std::ostream& out, std::ostream& err);

// A running TELVANO holds the single-instance lock; its database must not be pulled away under it. The lock
// is tried for a moment, so no program starts while it is looked at.
bool ProgramIsRunning(const std::string& lockPath);

// A path as a single-quoted shell word ("it's" -> 'it'\''s').
std::string ShellQuoted(const std::string& text);

}  // namespace telvano::setup
