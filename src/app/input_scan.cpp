#include "app/input_scan.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace telvano::app {

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[i]) != Upper(prefix[i])) return false;
  }
  return true;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && StartsWithNoCase(text.substr(text.size() - suffix.size()), suffix);
}

}  // namespace

bool IsPollableName(std::string_view name) {
  return EndsWithNoCase(name, ".csv") && (StartsWithNoCase(name, "INV_") || StartsWithNoCase(name, "CMD_"));
}

bool IsInvoiceName(std::string_view name) { return StartsWithNoCase(name, "INV_"); }

bool NameLess(std::string_view left, std::string_view right) {
  return std::lexicographical_compare(
      left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return static_cast<unsigned char>(Upper(a)) < static_cast<unsigned char>(Upper(b));
      });
}

InputScan ScanInputFolder(const std::string& inputDir, const StillBeingWrittenProbe& probe,
                          const HeldInputTest& held) {
  namespace fs = std::filesystem;
  InputScan scan;
  std::error_code error;
  fs::directory_iterator it(inputDir, error);
  if (error) return scan;  // a missing input folder simply has nothing waiting
  std::vector<std::string> candidates;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    const std::string name = it->path().filename().string();
    if (!EndsWithNoCase(name, ".csv") || name.front() == '.') continue;  // hidden: name starts with "."
    // Only plain files are handed over: folders, devices, FIFOs, sockets and symbolic links (which could
    // point anywhere) are "system" entries, set apart without being opened or followed.
    std::error_code statusError;
    const fs::file_status status = it->symlink_status(statusError);
    if (statusError) continue;
    if (!fs::is_regular_file(status)) {
      if (IsPollableName(name)) scan.odd.push_back(name);
      continue;
    }
    if (probe && probe(it->path().string())) break;  // the rest waits for the next look
    if (IsPollableName(name) && !(held && held(name))) candidates.push_back(name);
  }
  if (!candidates.empty()) {
    scan.next = *std::min_element(candidates.begin(), candidates.end(),
                                  [](const std::string& a, const std::string& b) { return NameLess(a, b); });
  }
  return scan;
}

std::optional<std::string> FirstWaitingFile(const std::string& inputDir, const StillBeingWrittenProbe& probe) {
  return ScanInputFolder(inputDir, probe).next;
}

}  // namespace telvano::app
