#pragma once

#include <chrono>
#include <string>

namespace telvano::platform {

// The notices a service gives systemd (sd_notify): that it is ready, a short status line, that it is
// alive (the watchdog), that it is stopping. Without NOTIFY_SOCKET in the environment (a program the POS
// started, a test) nothing is sent and every call returns at once.
class ServiceNotifier {
 public:
  ServiceNotifier();

  bool Enabled() const { return m_enabled; }
  // The watchdog interval systemd expects (WATCHDOG_USEC for this process); zero when it expects none.
  std::chrono::microseconds WatchdogInterval() const { return m_watchdog; }

  // READY=1 with the status line.
  void Ready(const std::string& status);
  // STATUS=…; a line equal to the last one sent is not sent again.
  void Status(const std::string& status);
  // WATCHDOG=1.
  void Watchdog();
  // WATCHDOG_USEC=…: a longer watchdog interval than the unit's, when a step of the program may take longer.
  void SetWatchdogInterval(std::chrono::microseconds interval);
  // STOPPING=1.
  void Stopping();

 private:
  void Send(const std::string& text);

  bool m_enabled = false;
  std::chrono::microseconds m_watchdog{0};
  std::string m_lastStatus;
};

}  // namespace telvano::platform
