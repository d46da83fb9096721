// What the status check makes of the facts it gathered (status_check.h).
#include <algorithm>

#include "invoice/open_invoices.h"
#include "sdc/tform_common.h"
#include "status_check.h"

namespace telvano::setup {

namespace {

using namespace std::chrono_literals;

std::string Minutes(std::chrono::system_clock::duration span) {
  return std::to_string(std::chrono::duration_cast<std::chrono::minutes>(span).count()) + " min";
}

void JudgeProgram(const StatusFacts& facts, std::vector<Finding>& findings) {
  if (facts.running && !facts.report) {
    findings.push_back({Health::Warning, "TELVANO runs but has written no report yet"});
    return;
  }
  if (!facts.fromProgram || !facts.report->unattended) return;  // an operator's program renews no report
  const auto silent = facts.now - facts.report->written;
  if (silent > facts.longestTick + 60s) {
    findings.push_back({Health::Critical, "TELVANO has not reported for " + Minutes(silent) + ": a tick is stuck"});
  }
}

void JudgeCertificate(const StatusFacts& facts, std::vector<Finding>& findings) {
  const core::ServiceReport& report = *facts.report;
  if (report.serial.empty()) {
    if (report.databaseReachable) findings.push_back({Health::Warning, "no working certificate"});
    return;
  }
  if (!facts.certificateEnd || !facts.certificateEnd->announce) return;
  const std::string date = sdc::TFormCommon::FormatDate(facts.certificateEnd->lastDay);
  const int days = facts.certificateEnd->daysLeft;
  if (days < 0) {
    findings.push_back({Health::Critical, "certificate " + report.serial + " ended on " + date});
  } else {
    findings.push_back({Health::Warning, "certificate " + report.serial + " ends on " + date + ", in " +
                                             std::to_string(days) + " days"});
  }
}

void JudgeInvoices(const StatusFacts& facts, const StatusLimits& limits, std::vector<Finding>& findings) {
  const core::ServiceReport& report = *facts.report;
  const std::size_t held = report.HeldCount();
  if (held > 0) {
    const auto first = std::find_if(report.openInvoices.begin(), report.openInvoices.end(),
                                    [](const core::OpenInvoice& i) { return i.held; });
    std::string text = std::to_string(held) + (held == 1 ? " invoice held: " : " invoices held, the oldest: ") +
                       first->name + " (" + first->state + ", " + Minutes(facts.now - first->since);
    text += first->reason.empty() ? ")" : "): " + first->reason;
    findings.push_back({Health::Warning, text});
  }
  // Invoices that wait this long without any signature since: the road is blocked.
  std::optional<std::chrono::system_clock::time_point> waitingSince = facts.oldestInput;
  for (const core::OpenInvoice& invoice : report.openInvoices) {
    if (!waitingSince || invoice.since < *waitingSince) waitingSince = invoice.since;
  }
  if (!waitingSince || facts.now - *waitingSince < limits.unsignedWarning) return;
  const auto signedAt = invoice::ParseProcessorTime(report.lastSigned);
  if (signedAt && facts.now - *signedAt < limits.unsignedWarning) return;
  findings.push_back({Health::Warning, "no invoice signed for " +
                                           (signedAt ? Minutes(facts.now - *signedAt) : std::string("ever")) +
                                           " while invoices wait (" + Minutes(facts.now - *waitingSince) + ")"});
}

void JudgeFolder(const char* what, const FolderSpace& space, const StatusLimits& limits,
                 std::vector<Finding>& findings) {
  if (!space.known) {
    findings.push_back({Health::Critical, std::string(what) + " folder " + space.folder + " cannot be reached"});
  } else if (space.freeBytes < limits.fullBelowBytes) {
    findings.push_back({Health::Critical, std::string(what) + " folder " + space.folder + " is full (" +
                                              std::to_string(space.freeBytes >> 10) + " KB free)"});
  }
}

void JudgeBackup(const StatusFacts& facts, const StatusLimits& limits, std::vector<Finding>& findings) {
  if (!facts.lastBackupTime) {
    findings.push_back({Health::Warning, "no backup of the database yet"});
  } else if (facts.now - *facts.lastBackupTime > limits.backupWarning) {
    findings.push_back({Health::Warning, "the last backup is " +
                                             std::to_string(std::chrono::duration_cast<std::chrono::hours>(
                                                                facts.now - *facts.lastBackupTime)
                                                                .count()) +
                                             " h old"});
  }
}

}  // namespace

std::vector<Finding> JudgeStatus(const StatusFacts& facts, const StatusLimits& limits) {
  std::vector<Finding> findings;
  if (!facts.unreadable.empty()) return {{Health::Unknown, "the installation cannot be read: " + facts.unreadable}};
  JudgeProgram(facts, findings);
  if (facts.report) {
    if (!facts.report->databaseReachable) {
      findings.push_back({Health::Critical, "database not reachable: " + facts.report->databaseProblem});
    }
    JudgeCertificate(facts, findings);
    JudgeInvoices(facts, limits, findings);
  }
  if (facts.processorChecked && facts.processorCode < 1) {
    findings.push_back({Health::Critical, "processor " + facts.report->url + " does not answer: " + facts.processorError});
  }
  JudgeFolder("exchange", facts.exchange, limits, findings);
  JudgeFolder("data", facts.data, limits, findings);
  JudgeBackup(facts, limits, findings);
  std::stable_sort(findings.begin(), findings.end(),
                   [](const Finding& a, const Finding& b) { return a.health > b.health; });
  return findings;
}

Health OverallHealth(const std::vector<Finding>& findings) {
  Health worst = Health::Ok;
  for (const Finding& finding : findings) worst = std::max(worst, finding.health);
  return worst;
}

}  // namespace telvano::setup
