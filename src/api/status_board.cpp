#include "api/status_board.h"

#include <ctime>
#include <nlohmann/json.hpp>

namespace telvano::api {
namespace {

using Json = nlohmann::ordered_json;
constexpr const char* kOutcomes[] = {"signed", "refused", "notSent", "pending"};
constexpr const char* kRoads[] = {"file", "api"};

Json Optional(const std::optional<bool>& value) { return value ? Json(*value) : Json(nullptr); }

void Gauge(std::string& out, const char* name, const char* help, const std::string& value) {
  out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + name + " " + value + "\n";
}

std::string UpValue(const std::optional<bool>& up) { return up ? (*up ? "1" : "0") : "0"; }

}  // namespace

std::string UtcIsoTime(std::chrono::system_clock::time_point instant) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(instant);
  std::tm parts{};
  ::gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

StatusBoard::StatusBoard(std::string version, std::chrono::system_clock::time_point started)
    : m_version(std::move(version)), m_started(started) {}

void StatusBoard::SetCertificate(CertificateFacts facts) {
  std::lock_guard lock(m_mutex);
  m_certificate = std::move(facts);
}

void StatusBoard::SetDatabaseUp(bool up) {
  std::lock_guard lock(m_mutex);
  m_databaseUp = up;
}

void StatusBoard::SetProcessorUp(bool up) {
  std::lock_guard lock(m_mutex);
  m_processorUp = up;
}

void StatusBoard::SetOpenInvoices(std::vector<OpenInvoice> open) {
  std::lock_guard lock(m_mutex);
  m_open = std::move(open);
}

void StatusBoard::NoteInvoice(const std::string& road, const invoice::InvoiceOutcome& outcome,
                              std::chrono::duration<double> requestToOutcome,
                              std::chrono::system_clock::time_point now) {
  using invoice::OutcomeKind;
  if (outcome.kind == OutcomeKind::None || outcome.kind == OutcomeKind::Waiting) return;
  std::lock_guard lock(m_mutex);
  ++m_counts[{road, invoice::OutcomeName(outcome.kind)}];
  m_requestToOutcome[road].Observe(requestToOutcome.count());
  if (outcome.processorTime.count() >= 0) {
    m_processorTime.Observe(std::chrono::duration<double>(outcome.processorTime).count());
    m_processorUp = outcome.processorAnswered;
  }
  if (outcome.kind == OutcomeKind::Signed) m_lastSigned = now;
}

std::string StatusBoard::StatusJson() const {
  std::lock_guard lock(m_mutex);
  Json status;
  status["version"] = m_version;
  status["startedAt"] = UtcIsoTime(m_started);
  Json certificate;
  certificate["serial"] = m_certificate.serial;
  certificate["kind"] = m_certificate.isLpfr ? "LPFR" : "VPFR";
  certificate["environment"] = m_certificate.environment;
  certificate["notAfter"] = m_certificate.notAfter;
  certificate["daysLeft"] = m_certificate.daysLeft ? Json(*m_certificate.daysLeft) : Json(nullptr);
  status["certificate"] = certificate;
  status["databaseUp"] = Optional(m_databaseUp);
  status["processorUp"] = Optional(m_processorUp);
  Json open = Json::array();
  for (const OpenInvoice& invoice : m_open) {
    open.push_back({{"name", invoice.name}, {"road", invoice.road}, {"held", invoice.held}, {"reason", invoice.reason}});
  }
  status["openInvoices"] = open;
  status["lastSignedAt"] = m_lastSigned ? Json(UtcIsoTime(*m_lastSigned)) : Json(nullptr);
  Json counts;
  for (const char* road : kRoads) {
    for (const char* outcome : kOutcomes) {
      const auto it = m_counts.find({road, outcome});
      counts[road][outcome] = it == m_counts.end() ? 0 : it->second;
    }
  }
  status["countsSinceStart"] = counts;
  return status.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string StatusBoard::MetricsText() const {
  std::lock_guard lock(m_mutex);
  std::string out = "# HELP telvano_invoices_total Invoices by road and outcome since the program started.\n"
                    "# TYPE telvano_invoices_total counter\n";
  for (const char* road : kRoads) {
    for (const char* outcome : kOutcomes) {
      const auto it = m_counts.find({road, outcome});
      out += std::string("telvano_invoices_total{road=\"") + road + "\",outcome=\"" + outcome + "\"} " +
             std::to_string(it == m_counts.end() ? 0 : it->second) + "\n";
    }
  }
  out += "# HELP telvano_invoice_duration_seconds Time from the request (or the file handed over) to its outcome.\n"
         "# TYPE telvano_invoice_duration_seconds histogram\n";
  for (const char* road : kRoads) {
    const auto it = m_requestToOutcome.find(road);
    (it == m_requestToOutcome.end() ? Histogram() : it->second)
        .Render(out, "telvano_invoice_duration_seconds", std::string("road=\"") + road + "\"");
  }
  out += "# HELP telvano_processor_request_duration_seconds Time the processor took to answer an invoice request.\n"
         "# TYPE telvano_processor_request_duration_seconds histogram\n";
  m_processorTime.Render(out, "telvano_processor_request_duration_seconds", "");
  std::size_t held = 0;
  for (const OpenInvoice& invoice : m_open) held += invoice.held ? 1 : 0;
  Gauge(out, "telvano_invoices_open", "Invoices whose road is not finished.", std::to_string(m_open.size()));
  Gauge(out, "telvano_invoices_held", "Open invoices whose outcome is not known yet.", std::to_string(held));
  Gauge(out, "telvano_last_signature_timestamp_seconds", "When the last invoice was signed (0: none since the start).",
        m_lastSigned ? std::to_string(std::chrono::system_clock::to_time_t(*m_lastSigned)) : "0");
  Gauge(out, "telvano_certificate_not_after_timestamp_seconds", "The end of the working certificate (0: not known).",
        m_certificate.notAfterUnix ? std::to_string(*m_certificate.notAfterUnix) : "0");
  Gauge(out, "telvano_database_up", "The database answered at the last look.", UpValue(m_databaseUp));
  Gauge(out, "telvano_processor_up", "The processor answered at the last request.", UpValue(m_processorUp));
  return out;
}

}  // namespace telvano::api
