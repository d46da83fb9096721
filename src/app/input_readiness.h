#pragma once

#include <chrono>
#include <map>
#include <string>

#include "app/input_scan.h"
#include "platform/clock.h"
#include "platform/folder_watch.h"

namespace telvano::app {

// Tells whether the POS is done writing a file of the input folder, so that no invoice is taken half
// written. A POS of another user gets no lease, and one may close its file between two writes, so several
// signs are read together:
// - a file lease (the lease probe) where the kernel grants one: a writer holds it open;
// - the folder's inotify events: a file that was written is complete once its writer closed it (or it was
//   renamed in whole) and nothing changed it since;
// - for files seen without events (there at start, after an overflow, or no watch to be had): size and time
//   unchanged for about a second;
// - an invoice file younger than a few seconds that lacks its end blocks (fewer than three E-O-B lines)
//   waits too: its writer may come back for the rest.
class InputReadiness {
 public:
  static constexpr std::chrono::milliseconds kQuietFor{1000};
  static constexpr std::chrono::seconds kYoungFor{3};
  // A file reported open for writing that has not changed for this long is taken all the same: a writer
  // that changed it by path (truncate) never closes it.
  static constexpr std::chrono::seconds kSilentWriterFor{60};

  InputReadiness(std::string inputDir, const platform::Clock& clock, StillBeingWrittenProbe leaseProbe);

  // The probe the poller asks about each file, in enumeration order.
  bool StillBeingWritten(const std::string& path);

 private:
  enum class Seen { Writing, Closed, Unknown };
  // What is known of one file. Its size and time are compared with what was seen before, on this program's
  // own clock, so that a writer's clock that differs from ours does not matter.
  struct FileState {
    Seen seen = Seen::Unknown;
    long long size = -1;
    long long modifiedNs = 0;
    std::chrono::system_clock::time_point unchangedSince{};
  };

  void TakeEvents();
  std::chrono::system_clock::duration UnchangedFor(FileState& state, long long size, long long modifiedNs) const;
  bool LacksItsEnd(const std::string& path, const std::string& name) const;

  std::string m_inputDir;
  const platform::Clock& m_clock;
  StillBeingWrittenProbe m_leaseProbe;
  platform::FolderWatch m_watch;
  std::map<std::string, FileState> m_files;
};

// True when an invoice file's text has fewer than three end-of-block lines ("E-O-B", without regard to case
// and surrounding blanks): it is not whole yet, or it is no invoice.
bool LacksEndBlocks(const std::string& text);

}  // namespace telvano::app
