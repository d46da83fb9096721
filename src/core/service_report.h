#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace telvano::core {

// An invoice that is not finished yet: its rows are in inv_flight, or (a JSON invoice) its record waits in
// the archive.
struct OpenInvoice {
  std::string name;    // the input's name as the POS wrote it
  std::string state;   // "prepared", "sent, outcome unknown", "signed, stored", "signed, delivered"
  std::string reason;  // the last failure kept with it, one line
  std::chrono::system_clock::time_point since;  // when it was opened
  // Its input waits on it: the outcome is unknown or a step of it has failed. An invoice that is merely
  // on its way (opened and closed within one tick) is open but not held.
  bool held = false;
};

// What a running program tells about itself, for the monitoring check and systemd's status line: its
// working certificate, the database, the invoices still open and the last signature. The program writes it
// as ApplData/telvano_status.json (only the program writes there), so the check never needs the database
// that the program holds open.
struct ServiceReport {
  std::chrono::system_clock::time_point written;
  long pid = 0;
  bool unattended = true;  // false: an operator works with it, and no tick renews the report
  std::string version;
  std::string serial;  // empty: no working certificate
  bool lpfr = true;
  std::string environment;
  std::string url;
  std::string notAfter;  // as cert_se holds it
  bool databaseReachable = true;
  std::string databaseProblem;
  std::vector<OpenInvoice> openInvoices;
  std::string lastSigned;  // the processor's time of the newest signed invoice, as it gave it; "" none

  std::size_t HeldCount() const;
};

inline constexpr const char* kServiceReportFileName = "telvano_status.json";

std::string ServiceReportPath(const std::string& applDataDir);

std::string ServiceReportJson(const ServiceReport& report);
// Nothing for a text that is not such a report.
std::optional<ServiceReport> ParseServiceReport(const std::string& text);

// Written whole (a reader never sees half of it), for the installation's owner alone, as all of ApplData.
void WriteServiceReport(const std::string& applDataDir, const ServiceReport& report);
// The report as last written; nothing when there is none or it cannot be read.
std::optional<ServiceReport> ReadServiceReport(const std::string& applDataDir);

// systemd's status line: "PFR01 LPFR DEV; invoices open 1, held 1; last signed 2024-03-01T10:15:02+01:00".
std::string ServiceStatusLine(const ServiceReport& report);

// The working certificate's kind as the caption names it.
inline const char* ProcessorKind(bool lpfr) { return lpfr ? "LPFR" : "VPFR"; }

}  // namespace telvano::core
