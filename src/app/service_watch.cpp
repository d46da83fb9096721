#include "app/service_watch.h"

#include <unistd.h>

#include <exception>

#include "core/text_utils.h"
#include "invoice/open_invoices.h"
#include "sdc/certificate_end.h"
#include "sdc/tform_common.h"

namespace telvano::app {

namespace {

constexpr std::chrono::seconds kLookEvery{30};

}  // namespace

ServiceWatch::ServiceWatch(const core::Configuration& configuration, const core::WorkingState& workingState,
                           platform::Clock& clock, platform::ServiceNotifier& notifier, LogLine log)
    : m_configuration(configuration),
      m_workingState(workingState),
      m_clock(clock),
      m_notifier(notifier),
      m_log(std::move(log)) {}

void ServiceWatch::Started(db::Database* database, const sdc::TransportTimeouts& timeouts) {
  m_started = true;
  Refresh(database, {});
  m_notifier.Ready(core::ServiceStatusLine(m_report));
  const auto longestTick = std::chrono::duration_cast<std::chrono::microseconds>(sdc::LongestTick(timeouts));
  const auto watchdog = m_notifier.WatchdogInterval();
  if (watchdog.count() > 0 && watchdog < longestTick) m_notifier.SetWatchdogInterval(longestTick);
  if (m_workingState.Unattended) AnnounceCertificateEnd();
}

void ServiceWatch::Tick(db::Database* database, const std::string& problem) {
  m_notifier.Watchdog();
  if (!m_started) return;
  const bool databaseChanged = (database != nullptr) != m_report.databaseReachable;
  if (m_lookAgain || databaseChanged || m_clock.Now() - m_lastLook >= kLookEvery) {
    Refresh(database, problem);
    m_notifier.Status(core::ServiceStatusLine(m_report));
  }
  if (m_workingState.Unattended) AnnounceCertificateEnd();
}

void ServiceWatch::Refresh(db::Database* database, const std::string& problem) {
  const auto now = m_clock.Now();
  // The last signature changes only when a file was handled or an open invoice was finished: a shop's years
  // of receipts are not searched every half minute.
  const bool fileHandled = m_lookAgain;
  m_lookAgain = false;
  m_lastLook = now;
  m_report.written = now;
  m_report.pid = static_cast<long>(::getpid());
  m_report.unattended = m_workingState.Unattended;
  m_report.version = m_configuration.ProgramVersion;
  m_report.serial = m_workingState.WorkSerial;
  m_report.lpfr = m_workingState.WorkIsLpfr;
  m_report.environment = m_workingState.WorkEnv;
  m_report.url = m_workingState.WorkUrl;
  m_report.notAfter = m_workingState.WorkNotAfter;
  m_report.databaseReachable = database != nullptr;
  m_report.databaseProblem = core::OneLine(problem);
  if (database != nullptr) {
    try {
      std::vector<core::OpenInvoice> open = invoice::ListOpenInvoices(*database, m_configuration, now);
      const bool finished = open.size() < m_report.openInvoices.size();
      m_report.openInvoices = std::move(open);
      if (fileHandled || finished || !m_signatureKnown) {
        m_report.lastSigned = invoice::LastSignedTime(*database, now);
        m_signatureKnown = true;
      }
    } catch (const std::exception& error) {
      // What the last look saw stands; the next look tries again.
      m_report.databaseProblem = core::OneLine(error.what());
      m_signatureKnown = false;
    }
  }
  try {
    core::WriteServiceReport(m_configuration.ApplDataDir, m_report);
  } catch (const std::exception& error) {
    m_log("Izveštaj o radu nije upisan / The status report could not be written: " + core::OneLine(error.what()),
          platform::Priority::Warning);
  }
}

void ServiceWatch::AnnounceCertificateEnd() {
  const std::chrono::sys_days today = sdc::TodayOf(m_clock.Now());
  if (today == m_announcedDay) return;
  m_announcedDay = today;
  platform::Priority priority = platform::Priority::Warning;
  const std::string line = CertificateEndLine(m_workingState, m_configuration, today, priority);
  if (!line.empty()) m_log(line, priority);
}

std::string CertificateEndLine(const core::WorkingState& workingState, const core::Configuration& configuration,
                               std::chrono::sys_days today, platform::Priority& priority) {
  const auto end = sdc::CertificateEndOf(workingState.WorkNotAfter, today, configuration);
  if (!end || !end->announce) return {};
  const std::string serial = workingState.WorkSerial;
  const std::string date = sdc::TFormCommon::FormatDate(end->lastDay);
  priority = end->daysLeft < 0 ? platform::Priority::Error : platform::Priority::Warning;
  if (end->daysLeft < 0) {
    return "Radni sertifikat " + serial + " je istekao " + date + " / The working certificate " + serial +
           " ended on " + date;
  }
  if (end->daysLeft == 0) {
    return "Radni sertifikat " + serial + " ističe danas, " + date + " / The working certificate " + serial +
           " ends today, " + date;
  }
  const std::string days = std::to_string(end->daysLeft);
  return "Radni sertifikat " + serial + " ističe " + date + ", za " + days + " dana / The working certificate " +
         serial + " ends on " + date + ", in " + days + " days";
}

}  // namespace telvano::app
