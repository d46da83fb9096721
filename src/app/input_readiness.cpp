#include "app/input_readiness.h"

#include <sys/stat.h>

#include <algorithm>

#include "cmd/command_file_text.h"
#include "core/text_utils.h"
#include "platform/whole_file.h"

namespace telvano::app {

namespace {

constexpr std::size_t kEndBlocks = 3;
// Larger invoice files are refused by the invoice handler, which reads them itself.
constexpr std::size_t kLargestInvoiceLook = 2u * 1024u * 1024u;
// Names of files long gone are forgotten once this many are kept (no events to say that they went).
constexpr std::size_t kMostFilesKept = 10000;

std::string Trimmed(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return std::string(line);
}

}  // namespace

InputReadiness::InputReadiness(std::string inputDir, const platform::Clock& clock, StillBeingWrittenProbe leaseProbe)
    : m_inputDir(std::move(inputDir)), m_clock(clock), m_leaseProbe(std::move(leaseProbe)), m_watch(m_inputDir) {}

void InputReadiness::TakeEvents() {
  bool overflowed = false;
  for (const platform::FolderEvent& event : m_watch.Events(overflowed)) {
    switch (event.change) {
      case platform::FolderChange::Gone: m_files.erase(event.name); break;
      case platform::FolderChange::Created: m_files[event.name].seen = Seen::Unknown; break;
      case platform::FolderChange::Written: m_files[event.name].seen = Seen::Writing; break;
      case platform::FolderChange::ClosedWritten:
      case platform::FolderChange::MovedIn: m_files[event.name].seen = Seen::Closed; break;
    }
  }
  if (overflowed) m_files.clear();  // judged by size and time again
}

bool InputReadiness::StillBeingWritten(const std::string& path) {
  TakeEvents();
  if (m_leaseProbe && m_leaseProbe(path)) return true;
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;  // the handler meets it itself
  const std::string name = path.substr(path.find_last_of('/') + 1);
  if (m_files.size() > kMostFilesKept) m_files.clear();
  FileState& state = m_files[name];
  const auto unchanged = UnchangedFor(state, info.st_size, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec);
  const Seen seen = m_watch.Active() ? state.seen : Seen::Unknown;
  if (seen == Seen::Writing && unchanged < kSilentWriterFor) return true;
  if (seen == Seen::Unknown && unchanged < kQuietFor) return true;
  return unchanged < kYoungFor && LacksItsEnd(path, name);
}

std::chrono::system_clock::duration InputReadiness::UnchangedFor(FileState& state, long long size,
                                                                 long long modifiedNs) const {
  const auto now = m_clock.Now();
  if (state.size != size || state.modifiedNs != modifiedNs) {
    state.size = size;
    state.modifiedNs = modifiedNs;
    state.unchangedSince = now;
  }
  // A file whose time of change lies further back than our first sight of it (one that waited before the
  // start) counts from that time; a time ahead of our clock (another machine's) only from our first sight.
  const auto modified = std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(modifiedNs)));
  return now - std::min(state.unchangedSince, modified <= now ? modified : now);
}

bool InputReadiness::LacksItsEnd(const std::string& path, const std::string& name) const {
  if (!IsInvoiceName(name)) return false;
  try {
    return LacksEndBlocks(platform::ReadRegularFile(path, kLargestInvoiceLook));
  } catch (const std::exception&) {
    return false;  // the handler reads it again and answers what it finds
  }
}

bool LacksEndBlocks(const std::string& text) {
  std::size_t ends = 0;
  for (const std::string& line : cmd::SplitCommandLines(text)) {
    if (core::UpperCaseUnicode(Trimmed(line)) == "E-O-B" && ++ends >= kEndBlocks) return false;
  }
  return true;
}

}  // namespace telvano::app
