#include "platform/service_notify.h"

#include <systemd/sd-daemon.h>

#include <cstdint>
#include <cstdlib>

namespace telvano::platform {

namespace {

// systemd reads a status line up to its first line break.
std::string OneStatusLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

}  // namespace

ServiceNotifier::ServiceNotifier() {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  m_enabled = socket != nullptr && *socket != '\0';
  std::uint64_t usec = 0;
  if (m_enabled && sd_watchdog_enabled(0, &usec) > 0) m_watchdog = std::chrono::microseconds(usec);
}

void ServiceNotifier::Ready(const std::string& status) {
  m_lastStatus = OneStatusLine(status);
  Send("READY=1\nSTATUS=" + m_lastStatus);
}

void ServiceNotifier::Status(const std::string& status) {
  const std::string line = OneStatusLine(status);
  if (line == m_lastStatus) return;
  m_lastStatus = line;
  Send("STATUS=" + line);
}

void ServiceNotifier::Watchdog() { Send("WATCHDOG=1"); }

void ServiceNotifier::SetWatchdogInterval(std::chrono::microseconds interval) {
  if (interval.count() <= 0) return;
  m_watchdog = interval;
  Send("WATCHDOG_USEC=" + std::to_string(interval.count()));
}

void ServiceNotifier::Stopping() { Send("STOPPING=1"); }

void ServiceNotifier::Send(const std::string& text) {
  // A notice that does not arrive changes nothing about the work: its result is not looked at.
  if (m_enabled) sd_notify(0, text.c_str());
}

}  // namespace telvano::platform
