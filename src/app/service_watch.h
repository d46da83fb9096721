#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "core/configuration.h"
#include "core/service_report.h"
#include "core/working_state.h"
#include "db/database.h"
#include "platform/clock.h"
#include "platform/journal_stream.h"
#include "platform/service_notify.h"
#include "sdc/tform_http.h"

namespace telvano::app {

// What the running program tells the world about itself: systemd's notices (ready once the start notice
// says OK, a status line, a watchdog ping from every tick, stopping), the report for the monitoring check in
// ApplData, and in unattended work one log line a day once the working certificate's end draws near.
class ServiceWatch {
 public:
  using LogLine = std::function<void(const std::string& text, platform::Priority priority)>;

  ServiceWatch(const core::Configuration& configuration, const core::WorkingState& workingState,
               platform::Clock& clock, platform::ServiceNotifier& notifier, LogLine log);

  // The start has finished well (the start notice says OK). A watchdog shorter than the longest tick the
  // configured processor deadline allows is lengthened to it.
  void Started(db::Database* database, const sdc::TransportTimeouts& timeouts);
  // At the beginning of every tick: the watchdog ping, then (every half minute, and after a tick that
  // handled a file) a fresh look at the invoices, the report and the status line. `database` is null
  // while it cannot be reached; `problem` says why.
  void Tick(db::Database* database, const std::string& problem);
  // A file of the input folder was handed to its handler: the next tick looks again.
  void NoteHandledFile() { m_lookAgain = true; }
  void Stopping() { m_notifier.Stopping(); }

  const core::ServiceReport& Report() const { return m_report; }

 private:
  void Refresh(db::Database* database, const std::string& problem);
  void AnnounceCertificateEnd();

  const core::Configuration& m_configuration;
  const core::WorkingState& m_workingState;
  platform::Clock& m_clock;
  platform::ServiceNotifier& m_notifier;
  LogLine m_log;
  core::ServiceReport m_report;
  bool m_started = false;
  bool m_lookAgain = true;
  bool m_signatureKnown = false;
  std::chrono::system_clock::time_point m_lastLook;
  std::chrono::sys_days m_announcedDay{};
};

// The log line of the working certificate's end as seen on `today`, and its weight; "" when nothing is to be
// said (no date, or not within CertWarningDays yet).
std::string CertificateEndLine(const core::WorkingState& workingState, const core::Configuration& configuration,
                               std::chrono::sys_days today, platform::Priority& priority);

}  // namespace telvano::app
