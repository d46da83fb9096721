#include "platform/journal_stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace telvano::platform {

bool StderrIsJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (stream == nullptr) return false;
  struct stat info {};
  if (::fstat(STDERR_FILENO, &info) != 0) return false;
  // "<device>:<inode>", both decimal: a stderr redirected elsewhere keeps the variable but not the stream.
  return std::string(stream) == std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

std::string JournalLine(Priority priority, const std::string& text) {
  return "<" + std::to_string(static_cast<int>(priority)) + ">" + text;
}

std::string JournalLines(Priority priority, const std::string& text) {
  std::string bytes;
  std::size_t start = 0;
  do {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    bytes += JournalLine(priority, line) + "\n";
    start = end + 1;
  } while (start < text.size());
  return bytes;
}

void WriteJournalLines(Priority priority, const std::string& text) {
  const std::string bytes = JournalLines(priority, text);
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

}  // namespace telvano::platform
