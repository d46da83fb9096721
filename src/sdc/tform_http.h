#pragma once

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>

#include "core/configuration.h"
#include "core/working_state.h"

namespace telvano::sdc {

// The processor operations: path, method and body are chosen by number.
enum ProcessorOperation : int {
  kOpPin = 0,                     // POST /api/v3/pin, body = WorkPin (LPFR only)
  kOpEnvironmentParameters = 1,   // GET /api/v3/environment-parameters
  kOpAttention = 2,               // GET /api/v3/attention
  kOpStatus = 3,                  // GET /api/v3/status
  kOpInvoices = 4,                // POST /api/v3/invoices, body = ArchiveDir/<fileName>
  kOpInvoiceLookup = 5,           // GET /api/v3/invoices/<requestId>: the invoice signed under that id
};

// The largest answer body we accept. A processor answer is a few kilobytes (an invoice answer with its QR
// image and journal stays well below 100 KB); anything beyond this is a broken or hostile peer and is
// treated as "no reply" so that the invoice takes the failure path instead of exhausting memory.
inline constexpr std::size_t kMaxResponseBytes = 16u * 1024u * 1024u;

// The ErrorText of a request whose answer exceeded kMaxResponseBytes.
inline constexpr const char* kResponseTooLargeText =
    "Response too large: the processor's answer exceeds 16 MB and was not read";

// Time limits of one request. Every request blocks the one thread of the program, so a processor that
// accepts the connection and then never answers must not freeze TELVANO for good:
// - connect: 10 s to establish the TCP connection (and the TLS handshake for a VPFR);
// - read: the request is abandoned when no byte at all arrives for 60 s. Signing an invoice takes a
//   local processor a few seconds at most, so 60 s of silence means the processor is hung.
struct TransportTimeouts {
  std::chrono::milliseconds connect{10000};
  std::chrono::seconds read{60};
};

// A request file of operation 4 that cannot be read; raised before anything is sent.
class RequestFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The only place that talks to the processor. One request per call, never raises for HTTP or network
// failures; the outcome is left in the four result fields. A missing request file (operation 4) raises
// before anything is sent.
//
// Every request uses a fresh connection (nothing is kept between requests: no cookies, no connection),
// HTTP/1.1, no proxy and no redirects. A VPFR request speaks TLS 1.2 only, presents the client certificate
// CertificateDir/<WorkSerial>_cert.pem with its key CertificateDir/<WorkSerial>_key.pem (PEM, no pass
// phrase) and does not verify the server's certificate. An LPFR request is plain HTTP only.
class TFormHTTP {
 public:
  TFormHTTP(const core::Configuration& configuration, const core::WorkingState& workingState);
  virtual ~TFormHTTP() = default;

  void CallLPFR(int operation, const std::string& fileName, const std::string& requestId);
  void CallVPFR(int operation, const std::string& fileName, const std::string& requestId);
  // CallLPFR when the working processor is local, else CallVPFR.
  void CallWorking(int operation, const std::string& fileName, const std::string& requestId);

  // Tests and tools may shorten the limits; the program keeps the defaults.
  void SetTimeouts(const TransportTimeouts& timeouts) { m_timeouts = timeouts; }
  const TransportTimeouts& Timeouts() const { return m_timeouts; }

  int ResponseCode = -1;     // HTTP status of the last reply; -1 when no reply was received
  std::string ResponseBody;  // body of the last reply (also for an error status)
  std::string ErrorText;     // transport failure text, CR LF pairs replaced by one blank
  std::string RequestId;     // the request id given with the last request
  // False only when the last request certainly never reached the processor (no connection, no TLS session,
  // nothing sent). A reply, a time-out or a connection lost after sending may mean the processor acted on
  // it: an invoice may be signed although no answer came.
  bool RequestMayHaveArrived = false;

 private:
  void ResetResult();
  void Call(bool virtualProcessor, int operation, const std::string& fileName, const std::string& requestId);

  const core::Configuration& m_configuration;
  const core::WorkingState& m_workingState;
  TransportTimeouts m_timeouts;
};

}  // namespace telvano::sdc
