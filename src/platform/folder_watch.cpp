#include "platform/folder_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace telvano::platform {

namespace {

constexpr std::uint32_t kWatchedChanges =
    IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;

bool ChangeOf(std::uint32_t mask, FolderChange& change) {
  if (mask & (IN_DELETE | IN_MOVED_FROM)) {
    change = FolderChange::Gone;
  } else if (mask & IN_CLOSE_WRITE) {
    change = FolderChange::ClosedWritten;
  } else if (mask & IN_MOVED_TO) {
    change = FolderChange::MovedIn;
  } else if (mask & IN_MODIFY) {
    change = FolderChange::Written;
  } else if (mask & IN_CREATE) {
    change = FolderChange::Created;
  } else {
    return false;
  }
  return true;
}

}  // namespace

FolderWatch::FolderWatch(std::string folder) : m_folder(std::move(folder)) {
  m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  TryToWatch();
}

FolderWatch::~FolderWatch() {
  if (m_fd >= 0) close(m_fd);
}

void FolderWatch::TryToWatch() {
  if (m_fd < 0 || m_watch >= 0) return;
  m_watch = inotify_add_watch(m_fd, m_folder.c_str(), kWatchedChanges | IN_ONLYDIR | IN_DONT_FOLLOW);
}

std::vector<FolderEvent> FolderWatch::Events(bool& overflowed) {
  overflowed = false;
  std::vector<FolderEvent> events;
  if (m_watch < 0) {
    TryToWatch();
    if (m_watch >= 0) overflowed = true;  // what happened before the watch is not known
    return events;
  }
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t got = read(m_fd, buffer, sizeof buffer);
    if (got <= 0) break;  // EAGAIN: nothing more for now
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & IN_Q_OVERFLOW) overflowed = true;
      if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
        // The folder itself went away (or was replaced): watch it anew once it is there again.
        inotify_rm_watch(m_fd, m_watch);
        m_watch = -1;
        overflowed = true;
        break;
      }
      FolderChange change;
      if (event->len > 0 && ChangeOf(event->mask, change)) events.push_back({std::string(event->name), change});
    }
    if (m_watch < 0) break;
  }
  return events;
}

}  // namespace telvano::platform
