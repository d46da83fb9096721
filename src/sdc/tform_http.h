#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
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
  kOpInvoices = 4,                // POST /api/v3/invoices, body = ArchiveDir/<fileName> (or the path given)
  kOpInvoiceLookup = 5,           // GET /api/v3/invoices/<requestId>: the invoice signed under that id
};

// The largest answer body we accept. A processor answer is a few kilobytes (an invoice answer with its QR
// image and journal stays well below 100 KB); anything beyond this is a broken or hostile peer and is
// treated as "no reply" so that the invoice takes the failure path instead of exhausting memory.
inline constexpr std::size_t kMaxResponseBytes = 16u * 1024u * 1024u;

// The ErrorText of a request whose answer exceeded kMaxResponseBytes.
inline constexpr const char* kResponseTooLargeText =
    "Response too large: the processor's answer exceeds 16 MB and was not read";

// The ErrorText of a request that the operator gave up while it waited.
inline constexpr const char* kRequestGivenUpText =
    "Zahtev je prekinut (Esc) / The request was given up (Esc)";

// The ErrorText of a request given up because the program is asked to end.
inline constexpr const char* kRequestStoppedText = "Request given up: TELVANO is stopping";

// Time limits of one request. Every request blocks the one thread of the program, so a processor that
// accepts the connection and then never answers must not freeze TELVANO for good:
// - connect: 10 s to establish the TCP connection (and the TLS handshake for a VPFR);
// - read: the request is abandoned when no byte at all arrives for 60 s. Signing an invoice takes a
//   local processor a few seconds at most, so 60 s of silence means the processor is hung;
// - total: a processor that trickles a byte now and then is given up after this long in all.
struct TransportTimeouts {
  std::chrono::milliseconds connect{10000};
  std::chrono::seconds read{60};
  std::chrono::seconds total{0};  // 0: three times the read time-out

  std::chrono::seconds Total() const { return total.count() > 0 ? total : 3 * read; }
};

// The limits the configuration asks for (SdcReadTimeout, SdcRequestDeadline: three times the read time-out
// when not set).
TransportTimeouts TimeoutsFrom(const core::Configuration& configuration);

// How long one tick of the poller may take without being stuck: three requests to their deadline (an open
// invoice's lookup, the invoice itself, the lookup of its outcome). systemd's watchdog and the monitoring
// check allow this long before they call the program hung; the defaults give 570 s.
std::chrono::seconds LongestTick(const TransportTimeouts& timeouts);

// The ErrorText of a VPFR address that is not https://: nothing is sent over a plain connection.
inline constexpr const char* kVpfrNeedsHttpsText = "The VPFR's address must start with https://";
// What a client certificate that the VPFR turned away in the handshake is reported with, before the reason.
inline constexpr const char* kClientCertificateRefusedText =
    "PFR nije prihvatio sertifikat / The processor did not accept the client certificate: ";
// True for a TLS library's reason that says the peer refused our certificate (a handshake alert about it).
bool SaysClientCertificateRefused(const std::string& reason);

// What a server certificate that cannot be trusted is reported with, before the library's reason.
inline constexpr const char* kUntrustedServerText = "The processor's server certificate is not trusted: ";

// The processor a request goes to. An invoice remembers the one it was sent to, so that its outcome is asked
// of that processor even after the working certificate has changed.
struct ProcessorTarget {
  std::string serial;  // the certificate: names the VPFR's client certificate files
  bool isLpfr = true;
  std::string url;

  bool operator==(const ProcessorTarget&) const = default;
  // "LPFR" or "VPFR", as stored with an invoice in flight.
  const char* Kind() const { return isLpfr ? "LPFR" : "VPFR"; }
};

// Where a window waits for the processor: told of each request so that it can show that it waits, for what
// and how long, and keep the keys typed meanwhile from acting afterwards.
class RequestWait {
 public:
  virtual ~RequestWait() = default;
  // Runs `transfer` (the blocking request) and returns once it has ended. `what` names the request and
  // `limit` the longest it may take; when `mayGiveUp`, the operator may set `giveUp`, and the request ends
  // within a moment without an answer.
  virtual void Run(const std::string& what, std::chrono::seconds limit, bool mayGiveUp,
                   std::atomic<bool>& giveUp, const std::function<void()>& transfer) = 0;
};

// The name of an operation as the waiting window shows it.
std::string OperationTitle(int operation);

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
// HTTP/1.1, no proxy and no redirects. A VPFR request speaks TLS 1.2 over https:// only, presents the client
// certificate CertificateDir/<WorkSerial>_cert.pem with its key CertificateDir/<WorkSerial>_key.pem (PEM, no
// pass phrase) and verifies the server's certificate chain and host name (the system's CA store and
// SdcCaFile) before anything of the request, the PAC included, leaves. An LPFR request is plain HTTP only.
class TFormHTTP {
 public:
  TFormHTTP(const core::Configuration& configuration, const core::WorkingState& workingState);
  virtual ~TFormHTTP() = default;

  void CallLPFR(int operation, const std::string& fileName, const std::string& requestId);
  void CallVPFR(int operation, const std::string& fileName, const std::string& requestId);
  // CallLPFR when the working processor is local, else CallVPFR.
  void CallWorking(int operation, const std::string& fileName, const std::string& requestId);
  // The request to `target`: the working processor as CallWorking, another one with the PIN or PAC that
  // was last used with its certificate in this run (a local processor's lookup needs none).
  void CallTarget(const ProcessorTarget& target, int operation, const std::string& fileName,
                  const std::string& requestId);
  ProcessorTarget WorkingTarget() const;
  // How long a request may still be on its way after its connection has gone: a lookup's "not found" is
  // proof that nothing was signed only once this much time has passed.
  std::chrono::milliseconds RequestDeadline() const { return m_timeouts.connect + m_timeouts.Total(); }

  // Asked while a request waits: true gives the request up within a moment (the program is asked to end).
  // The invoice's outcome is then unknown and is resolved at the next start, as after a crash.
  using StopTest = std::function<bool()>;
  void SetStopTest(StopTest stopTest) { m_stopTest = std::move(stopTest); }
  bool StopRequested() const { return m_stopTest && m_stopTest(); }

  // In the operator's mode the window shows every request while it waits; none by default. A status or
  // environment request may be given up there; an invoice and its lookup never are, their outcome is resolved
  // as on the unattended road.
  void SetRequestWait(RequestWait* wait) { m_wait = wait; }

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
  struct Endpoint {
    bool virtualProcessor = false;
    std::string url;
    std::string serial;
    std::string secret;  // the PIN (operation 0 of an LPFR) or the PAC (every VPFR request)
  };
  void ResetResult();
  Endpoint WorkingEndpoint(bool virtualProcessor);
  void Call(const Endpoint& endpoint, int operation, const std::string& fileName, const std::string& requestId);

  const core::Configuration& m_configuration;
  const core::WorkingState& m_workingState;
  TransportTimeouts m_timeouts;
  StopTest m_stopTest;
  RequestWait* m_wait = nullptr;
  std::map<std::string, std::string> m_secretsBySerial;  // never logged
};

}  // namespace telvano::sdc
