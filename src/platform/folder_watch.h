#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace telvano::platform {

// What happened to one entry of a watched folder.
enum class FolderChange {
  Created,        // a new entry (a file being created, or a link made to an existing one)
  Written,        // its content changed: a writer is at work
  ClosedWritten,  // a writer that wrote has closed it
  MovedIn,        // renamed into the folder whole
  Gone,           // removed or renamed away
};

struct FolderEvent {
  std::string name;
  FolderChange change;
};

// Watches one folder with inotify, without ever blocking: Events() hands over what happened since the last
// call. A folder that does not exist yet is watched once it does; where no watch can be had (no inotify,
// the user's watch limit reached, a network file system that reports nothing) Active() is false and callers
// judge files by other means.
class FolderWatch {
 public:
  explicit FolderWatch(std::string folder);
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // The changes since the last call, oldest first. `overflowed` becomes true when the kernel dropped events:
  // then nothing seen before can be relied on.
  std::vector<FolderEvent> Events(bool& overflowed);
  bool Active() const { return m_watch >= 0; }

 private:
  void TryToWatch();

  std::string m_folder;
  int m_fd = -1;
  int m_watch = -1;
};

}  // namespace telvano::platform
