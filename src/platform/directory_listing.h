#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace telvano::platform {

// One entry of a folder, with the stand-ins for the Windows attributes: hidden = the name starts with
// "."; system = anything that is not a plain regular file or folder (device, FIFO, socket, symbolic link).
struct DirectoryEntry {
  std::string name;  // exactly as found
  bool directory = false;
  bool hidden = false;
  bool system = false;
};

// Every entry of `folder` except "." and "..", in the order the file system gives them.
// Throws std::system_error when the folder cannot be read.
std::vector<DirectoryEntry> ListDirectory(const std::string& folder);

// The names of the regular, non-hidden, non-system files of `folder` that match `pattern` without
// regard to case, in the order the file system gives them.
std::vector<std::string> ListFiles(const std::string& folder, std::string_view pattern);

// Wildcard match without regard to case (full Unicode case rules): "*" is any run of characters,
// "?" exactly one character. MatchesPattern("inv_ns_1.CSV", "INV_*.csv") is true.
bool MatchesPattern(std::string_view name, std::string_view pattern);

}  // namespace telvano::platform
