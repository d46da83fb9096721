#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace telvano::testing {

// The datagram socket a service manager listens on for sd_notify notices: Path() is what NOTIFY_SOCKET
// names. Each notice is one datagram of "KEY=value" lines.
class NotifySocket {
 public:
  NotifySocket();
  ~NotifySocket();
  NotifySocket(const NotifySocket&) = delete;
  NotifySocket& operator=(const NotifySocket&) = delete;

  std::string Path() const { return m_path; }
  // The next notice, waiting at most `limit`; nothing when none came in time.
  std::optional<std::string> Next(std::chrono::milliseconds limit);
  // Waits for a notice that contains `line` as one of its lines; every notice passed on the way is kept in
  // Seen(). False after `limit`.
  bool WaitFor(const std::string& line, std::chrono::milliseconds limit);
  const std::string& Seen() const { return m_seen; }

 private:
  TempDir m_dir;
  std::string m_path;
  int m_fd = -1;
  std::string m_seen;
};

// True when `notice` holds `line` as one of its lines.
bool NoticeHas(const std::string& notice, const std::string& line);

}  // namespace telvano::testing
