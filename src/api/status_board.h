#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "api/histogram.h"
#include "invoice/invoice_outcome.h"

namespace telvano::api {

// One invoice still open, as the status shows it.
struct OpenInvoice {
  std::string name;
  std::string road;    // "file" or "api"
  bool held = false;   // its outcome is not known yet and its input is held
  std::string reason;  // the last failure kept with it
};

// The working certificate, as the status shows it.
struct CertificateFacts {
  std::string serial;
  bool isLpfr = true;
  std::string environment;
  std::string notAfter;                   // "yyyy-mm-dd", or the stored text when it is not a date
  std::optional<int> daysLeft;            // none when the end is not known
  std::optional<long long> notAfterUnix;  // seconds since 1970 of the end's day
};

// What the program last saw, for GET /v1/status and GET /metrics. The program's thread writes it after each
// tick and invoice; the server's threads read it, so both answer without waiting for the road.
class StatusBoard {
 public:
  StatusBoard(std::string version, std::chrono::system_clock::time_point started);

  void SetCertificate(CertificateFacts facts);
  void SetDatabaseUp(bool up);
  void SetProcessorUp(bool up);
  void SetOpenInvoices(std::vector<OpenInvoice> open);
  // One invoice's outcome on `road` ("file" or "api"), and how long it took from the request to it.
  void NoteInvoice(const std::string& road, const invoice::InvoiceOutcome& outcome,
                   std::chrono::duration<double> requestToOutcome, std::chrono::system_clock::time_point now);

  std::string StatusJson() const;
  std::string MetricsText() const;

 private:
  mutable std::mutex m_mutex;
  std::string m_version;
  std::chrono::system_clock::time_point m_started;
  CertificateFacts m_certificate;
  std::optional<bool> m_databaseUp;
  std::optional<bool> m_processorUp;
  std::vector<OpenInvoice> m_open;
  std::optional<std::chrono::system_clock::time_point> m_lastSigned;
  std::map<std::pair<std::string, std::string>, std::uint64_t> m_counts;  // (road, outcome)
  std::map<std::string, Histogram> m_requestToOutcome;                   // by road
  Histogram m_processorTime;
};

// "2024-03-01T10:15:30Z" of an instant (UTC).
std::string UtcIsoTime(std::chrono::system_clock::time_point instant);

}  // namespace telvano::api
