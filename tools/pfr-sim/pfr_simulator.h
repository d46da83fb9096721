#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim_options.h"

namespace telvano::pfrsim {

// A fiscal processor on 127.0.0.1 for tests, the demo and POS developers: an LPFR over HTTP with a PIN, or a
// VPFR over HTTPS (TLS 1.2, client certificate of a configured CA, PAC header). It answers the five /api/v3
// requests like a real processor: it checks and signs invoices, keeps counters, computes taxes, writes the
// receipt text and the verification URL with its QR image.
//
// In a test:
//   PfrSimulator sim(SimOptions{});                  // LPFR, PIN "1234", built-in Cyrillic tax rates
//   sim.Start();                                     // binds 127.0.0.1 on a free port
//   std::string url = sim.BaseUrl();                 // "http://127.0.0.1:41234" (no trailing slash)
//   sim.QueueFault("/api/v3/invoices", Fault::Dropped());   // the next invoice gets no answer
//   ... TELVANO talks to url ...
//   for (const LoggedRequest& r : sim.Requests()) ...       // what arrived, headers and body bytes
//   sim.Stop();                                      // also done by the destructor
//
// Every method may be called from any thread while the server runs.
class PfrSimulator {
 public:
  explicit PfrSimulator(SimOptions options);  // throws std::runtime_error for unusable tax rates or state file
  ~PfrSimulator();
  PfrSimulator(const PfrSimulator&) = delete;
  PfrSimulator& operator=(const PfrSimulator&) = delete;

  // Binds and starts answering; throws std::runtime_error when the port or the TLS files cannot be used.
  void Start();
  // Stops answering and waits for requests in progress (a queued delay is cut short).
  void Stop();
  std::string BaseUrl() const;  // "http://host:port" (LPFR) or "https://host:port" (VPFR)
  int Port() const;
  const SimOptions& Options() const;

  // Misbehaves for the next fault.count requests of `path` ("/api/v3/status"; "*" for any path). Faults of one
  // path are used in the order queued.
  void QueueFault(const std::string& path, Fault fault);
  void ClearFaults();

  // Every request received (control requests excepted), oldest first; the most recent 10000 are kept.
  std::vector<LoggedRequest> Requests() const;
  void ClearRequests();
  std::size_t RequestCount(const std::string& path) const;

  // The status lists exactly these general status codes from now on (a blocking code among 1300, 2110, 2210,
  // 2220, 2230, 2400 also refuses invoices with that code); ClearGsc returns to the codes of the PIN state.
  void SetGsc(std::vector<std::string> gsc);
  void ClearGsc();

  // LPFR PIN state: until the right PIN arrives the status lists 1500 and invoices are refused with 1500;
  // after five wrong PINs the card is locked and every PIN is answered "2110".
  bool PinEntered() const;
  void SetPinEntered(bool entered);
  int WrongPinCount() const;
  bool CardLocked() const;

  std::uint32_t TotalCounter() const;
  std::uint32_t TransactionTypeCounter(const std::string& extension) const;  // extension "ПП", "ОП", …
  // Counters of the last signed invoice: the next one gets total + 1 and its type's counter + 1.
  void SetCounters(std::uint32_t total, std::map<std::string, std::uint32_t> byExtension);
  std::string LastInvoiceNumber() const;
  // The answer body signed for that RequestId header (what GET /api/v3/invoices/{id} returns).
  std::optional<std::string> AnswerFor(const std::string& requestId) const;
  // While unavailable, GET /api/v3/invoices/{id} answers 503 whether or not that invoice was signed.
  void SetLookupAvailable(bool available);

  // The processor's clock: standing still at `when`, or (nullopt) the system clock.
  void SetTime(std::optional<std::chrono::system_clock::time_point> when);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace telvano::pfrsim
