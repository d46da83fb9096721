#include "core/service_report.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "platform/whole_file.h"

namespace telvano::core {

namespace {

using Json = nlohmann::ordered_json;

// A report is a few kilobytes even with many invoices open.
constexpr std::size_t kMaxReportBytes = 4u * 1024u * 1024u;

std::int64_t Milliseconds(std::chrono::system_clock::time_point when) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
}

std::chrono::system_clock::time_point FromMilliseconds(std::int64_t ms) {
  return std::chrono::system_clock::time_point(std::chrono::milliseconds(ms));
}

template <typename T>
T Member(const Json& json, const char* key, T fallback) {
  const auto it = json.find(key);
  if (it == json.end()) return fallback;
  try {
    return it->get<T>();
  } catch (const Json::exception&) {
    return fallback;
  }
}

Json InvoiceJson(const OpenInvoice& invoice) {
  return {{"name", invoice.name},
          {"state", invoice.state},
          {"reason", invoice.reason},
          {"sinceMs", Milliseconds(invoice.since)},
          {"held", invoice.held}};
}

OpenInvoice InvoiceFrom(const Json& json) {
  OpenInvoice invoice;
  invoice.name = Member<std::string>(json, "name", "");
  invoice.state = Member<std::string>(json, "state", "");
  invoice.reason = Member<std::string>(json, "reason", "");
  invoice.since = FromMilliseconds(Member<std::int64_t>(json, "sinceMs", 0));
  invoice.held = Member<bool>(json, "held", true);
  return invoice;
}

}  // namespace

std::size_t ServiceReport::HeldCount() const {
  return static_cast<std::size_t>(
      std::count_if(openInvoices.begin(), openInvoices.end(), [](const OpenInvoice& i) { return i.held; }));
}

std::string ServiceReportPath(const std::string& applDataDir) { return applDataDir + "/" + kServiceReportFileName; }

std::string ServiceReportJson(const ServiceReport& report) {
  Json invoices = Json::array();
  for (const OpenInvoice& invoice : report.openInvoices) invoices.push_back(InvoiceJson(invoice));
  const Json json = {{"writtenMs", Milliseconds(report.written)},
                     {"pid", report.pid},
                     {"unattended", report.unattended},
                     {"version", report.version},
                     {"serial", report.serial},
                     {"kind", ProcessorKind(report.lpfr)},
                     {"environment", report.environment},
                     {"url", report.url},
                     {"notAfter", report.notAfter},
                     {"databaseReachable", report.databaseReachable},
                     {"databaseProblem", report.databaseProblem},
                     {"openInvoices", invoices},
                     {"lastSigned", report.lastSigned}};
  return json.dump(2) + "\n";
}

std::optional<ServiceReport> ParseServiceReport(const std::string& text) {
  const Json json = Json::parse(text, nullptr, false);
  if (!json.is_object() || !json.contains("writtenMs")) return std::nullopt;
  ServiceReport report;
  report.written = FromMilliseconds(Member<std::int64_t>(json, "writtenMs", 0));
  report.pid = Member<long>(json, "pid", 0);
  report.unattended = Member<bool>(json, "unattended", true);
  report.version = Member<std::string>(json, "version", "");
  report.serial = Member<std::string>(json, "serial", "");
  report.lpfr = Member<std::string>(json, "kind", "LPFR") != "VPFR";
  report.environment = Member<std::string>(json, "environment", "");
  report.url = Member<std::string>(json, "url", "");
  report.notAfter = Member<std::string>(json, "notAfter", "");
  report.databaseReachable = Member<bool>(json, "databaseReachable", false);
  report.databaseProblem = Member<std::string>(json, "databaseProblem", "");
  report.lastSigned = Member<std::string>(json, "lastSigned", "");
  if (const auto it = json.find("openInvoices"); it != json.end() && it->is_array()) {
    for (const Json& invoice : *it) {
      if (invoice.is_object()) report.openInvoices.push_back(InvoiceFrom(invoice));
    }
  }
  return report;
}

void WriteServiceReport(const std::string& applDataDir, const ServiceReport& report) {
  platform::WriteFileDurably(ServiceReportPath(applDataDir), ServiceReportJson(report), 0600);
}

std::optional<ServiceReport> ReadServiceReport(const std::string& applDataDir) {
  try {
    return ParseServiceReport(platform::ReadRegularFile(ServiceReportPath(applDataDir), kMaxReportBytes));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::string ServiceStatusLine(const ServiceReport& report) {
  std::string line = report.serial.empty()
                         ? std::string("no working certificate")
                         : report.serial + " " + ProcessorKind(report.lpfr) + " " + report.environment;
  if (!report.databaseReachable) line += "; database not reachable";
  line += "; invoices open " + std::to_string(report.openInvoices.size()) + ", held " +
          std::to_string(report.HeldCount());
  line += "; last signed " + (report.lastSigned.empty() ? std::string("never") : report.lastSigned);
  return line;
}

}  // namespace telvano::core
