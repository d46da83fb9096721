#include "status_output.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <sstream>

#include "core/time_text.h"

namespace telvano::setup {

namespace {

using Json = nlohmann::ordered_json;

std::string LocalText(std::chrono::system_clock::time_point when) { return core::LocalIsoTime(platform::ToLocal(when)); }

std::int64_t SecondsBetween(std::chrono::system_clock::time_point from, std::chrono::system_clock::time_point to) {
  return std::chrono::duration_cast<std::chrono::seconds>(to - from).count();
}

std::string Megabytes(const FolderSpace& space) {
  return space.known ? std::to_string(space.freeBytes >> 20) + " MB free" : std::string("not reachable");
}

// The figures a monitoring system graphs: label=value;warn;crit.
std::string PerformanceData(const StatusFacts& facts) {
  std::string data = "open=" + std::to_string(facts.report ? facts.report->openInvoices.size() : 0) + " held=" +
                     std::to_string(facts.report ? facts.report->HeldCount() : 0) + ";1";
  if (facts.certificateEnd) data += " cert_days=" + std::to_string(facts.certificateEnd->daysLeft) + ";;0";
  if (facts.exchange.known) data += " exchange_free=" + std::to_string(facts.exchange.freeBytes >> 20) + "MB";
  return data;
}

std::string Summary(const StatusFacts& facts) {
  if (!facts.report || facts.report->serial.empty()) return "installation readable";
  const core::ServiceReport& report = *facts.report;
  std::string text = report.serial + " " + core::ProcessorKind(report.lpfr) + " " + report.environment;
  if (facts.certificateEnd) text += ", certificate ends in " + std::to_string(facts.certificateEnd->daysLeft) + " days";
  text += ", invoices held " + std::to_string(report.HeldCount());
  text += ", last signed " + (report.lastSigned.empty() ? std::string("never") : report.lastSigned);
  return text;
}

std::string ProgramLine(const StatusFacts& facts) {
  if (!facts.running) return "not running";
  if (!facts.fromProgram) return "running, without a report";
  const core::ServiceReport& report = *facts.report;
  return "running (pid " + std::to_string(report.pid) + (report.unattended ? ", unattended" : ", an operator's") +
         ", reported " + std::to_string(SecondsBetween(report.written, facts.now)) + " s ago)";
}

void DetailLines(const StatusFacts& facts, std::ostream& out) {
  out << "version: " << facts.version << "\n"
      << "program: " << ProgramLine(facts) << "\n";
  if (!facts.report) return;
  const core::ServiceReport& report = *facts.report;
  out << "database: " << facts.database
      << (report.databaseReachable ? " reachable" : " not reachable: " + report.databaseProblem) << "\n";
  if (!report.serial.empty()) {
    out << "working certificate: " << report.serial << " " << core::ProcessorKind(report.lpfr) << " "
        << report.environment << ", valid until " << (report.notAfter.empty() ? "(not known)" : report.notAfter);
    if (facts.certificateEnd) out << ", " << facts.certificateEnd->daysLeft << " days left";
    out << "\n";
  }
  if (facts.processorChecked) {
    out << "processor: " << report.url
        << (facts.processorCode >= 1 ? " answered " + std::to_string(facts.processorCode)
                                     : " does not answer: " + facts.processorError)
        << " (" << facts.processorTime.count() << " ms)\n";
  }
  out << "invoices open: " << report.openInvoices.size() << ", held: " << report.HeldCount() << "\n";
  for (const core::OpenInvoice& invoice : report.openInvoices) {
    out << "  " << invoice.name << ": " << invoice.state << (invoice.held ? ", held" : "") << ", for "
        << SecondsBetween(invoice.since, facts.now) / 60 << " min" << (invoice.reason.empty() ? "" : ": " + invoice.reason)
        << "\n";
  }
  out << "invoice files waiting: " << facts.inputsWaiting << "\n"
      << "last signed: " << (report.lastSigned.empty() ? "never" : report.lastSigned) << "\n";
}

}  // namespace

std::string StatusText(const StatusFacts& facts, const std::vector<Finding>& findings) {
  std::ostringstream out;
  std::string what;
  for (const Finding& finding : findings) what += (what.empty() ? "" : "; ") + finding.text;
  out << "TELVANO " << HealthName(OverallHealth(findings)) << " - " << (what.empty() ? Summary(facts) : what);
  if (facts.unreadable.empty()) out << " | " << PerformanceData(facts);
  out << "\n";
  if (!facts.unreadable.empty()) return out.str();
  DetailLines(facts, out);
  out << "free space: exchange " << facts.exchange.folder << " " << Megabytes(facts.exchange) << ", data "
      << facts.data.folder << " " << Megabytes(facts.data) << "\n"
      << "last backup: "
      << (facts.lastBackupTime ? facts.lastBackup + " (" + LocalText(*facts.lastBackupTime) + ")" : std::string("none"))
      << "\n";
  return out.str();
}

std::string StatusJson(const StatusFacts& facts, const std::vector<Finding>& findings) {
  const Health health = OverallHealth(findings);
  Json problems = Json::array();
  for (const Finding& finding : findings) problems.push_back({{"health", HealthName(finding.health)}, {"text", finding.text}});
  Json json = {{"status", HealthName(health)}, {"code", static_cast<int>(health)}, {"findings", problems},
               {"version", facts.version}, {"running", facts.running}};
  if (!facts.unreadable.empty()) return json.dump(2) + "\n";
  if (facts.report) {
    Json report = Json::parse(core::ServiceReportJson(*facts.report));
    report["fromProgram"] = facts.fromProgram;
    if (facts.certificateEnd) report["certificateDaysLeft"] = facts.certificateEnd->daysLeft;
    json["report"] = report;
  }
  json["processor"] = {{"checked", facts.processorChecked}, {"code", facts.processorCode},
                       {"error", facts.processorError}, {"ms", facts.processorTime.count()}};
  json["inputsWaiting"] = facts.inputsWaiting;
  json["freeBytes"] = {{"exchange", facts.exchange.known ? Json(facts.exchange.freeBytes) : Json()},
                       {"data", facts.data.known ? Json(facts.data.freeBytes) : Json()}};
  json["lastBackup"] = facts.lastBackupTime ? Json{{"file", facts.lastBackup}, {"time", LocalText(*facts.lastBackupTime)}}
                                            : Json();
  return json.dump(2) + "\n";
}

int RunStatus(const std::string& configFile, bool json, const StatusLimits& limits, platform::Clock& clock,
              std::ostream& out) {
  const StatusFacts facts = GatherStatus(configFile, clock);
  const std::vector<Finding> findings = JudgeStatus(facts, limits);
  out << (json ? StatusJson(facts, findings) : StatusText(facts, findings)) << std::flush;
  return static_cast<int>(OverallHealth(findings));
}

}  // namespace telvano::setup
