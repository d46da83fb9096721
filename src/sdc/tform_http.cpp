#include "sdc/tform_http.h"

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace telvano::sdc {

namespace {

// Debian's hashed folder of the system's CA certificates (ca-certificates).
constexpr const char* kSystemCaFolder = "/etc/ssl/certs";
constexpr const char* kUserAgent = "Mozilla/5.0 (Windows NT 6.1; rv:29.0) Gecko/20100101 Firefox/29.0";

// Path of each operation; an operation without an entry leaves the URL empty.
const char* OperationPath(int operation) {
  switch (operation) {
    case kOpPin: return "/api/v3/pin";
    case kOpEnvironmentParameters: return "/api/v3/environment-parameters";
    case kOpAttention: return "/api/v3/attention";
    case kOpStatus: return "/api/v3/status";
    case kOpInvoices:
    case kOpInvoiceLookup: return "/api/v3/invoices";
    default: return nullptr;
  }
}

// A header value must stay on its own line: a CR or LF inside a PAC or request id would let it
// start a header (or a body) of its own, so control characters are dropped.
std::string HeaderValue(const std::string& value) {
  std::string clean;
  clean.reserve(value.size());
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) clean += c;
  }
  return clean;
}

// The failure message is shown to the operator and written into one-line result files.
std::string ReplaceCrLf(std::string text) {
  std::string::size_type at = 0;
  while ((at = text.find("\r\n", at)) != std::string::npos) {
    text.replace(at, 2, " ");
    ++at;
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

// The failures of the connection phase: nothing of the request reached the processor.
bool FailedBeforeSending(CURLcode result) {
  switch (result) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_FAILED_INIT:
      return true;
    default:
      return false;
  }
}

// A request id goes into the lookup's path: anything but letters, digits and "-" is percent-encoded.
std::string PathSegment(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

std::string ReadRequestFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    const int error = errno;
    throw RequestFileError("Cannot open file \"" + path + "\". " + std::strerror(error));
  }
  std::string bytes(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) throw RequestFileError("Cannot read file \"" + path + "\".");
  return bytes;
}

struct BodySink {
  std::string body;
  bool tooLarge = false;
};

// The read time-out: the request is given up once the connection stood silent (nothing sent, nothing
// received) for `limit`. libcurl's own low-speed limit averages over several seconds and so waits up to
// five seconds longer than asked; this watch counts from the last byte that moved.
struct SilenceWatch {
  CURL* handle = nullptr;
  std::chrono::milliseconds limit{0};
  std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
  curl_off_t lastDown = 0;
  curl_off_t lastUp = 0;
  bool expired = false;
  std::chrono::milliseconds totalLimit{0};
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
  bool overDeadline = false;
  const TFormHTTP::StopTest* stopTest = nullptr;
  bool stopped = false;
  const std::atomic<bool>* giveUp = nullptr;  // set by the operator while the window waits
  bool givenUp = false;
};

int WatchSilence(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto* watch = static_cast<SilenceWatch*>(user);
  if (watch->giveUp != nullptr && watch->giveUp->load()) {
    watch->givenUp = true;
    return 1;
  }
  if (watch->stopTest && *watch->stopTest && (*watch->stopTest)()) {
    watch->stopped = true;
    return 1;
  }
  const auto now = std::chrono::steady_clock::now();
  if (watch->totalLimit.count() > 0 && now - watch->started >= watch->totalLimit) {
    watch->overDeadline = true;
    return 1;
  }
  // The connect time-out covers the way to the processor; silence counts once the connection stands.
  curl_off_t connected = 0;
  curl_easy_getinfo(watch->handle, CURLINFO_CONNECT_TIME_T, &connected);
  if (connected == 0 || downloaded != watch->lastDown || uploaded != watch->lastUp) {
    watch->lastDown = downloaded;
    watch->lastUp = uploaded;
    watch->lastActivity = now;
    return 0;
  }
  if (now - watch->lastActivity < watch->limit) return 0;
  watch->expired = true;
  return 1;  // makes the library abandon the transfer
}

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* sink = static_cast<BodySink*>(user);
  const std::size_t bytes = size * count;
  if (sink->body.size() + bytes > kMaxResponseBytes) {
    sink->tooLarge = true;
    return 0;  // makes the library abandon the transfer
  }
  sink->body.append(data, bytes);
  return bytes;
}

struct CurlDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

// Header lines in their fixed order; the custom ones go out exactly as built, without a blank after the
// colon. "Expect:" keeps the library from waiting for a "100 Continue" before a larger body.
HeaderList RequestHeaders(bool virtualProcessor, const std::string& secret, const std::string& requestId) {
  HeaderList headers;
  auto addHeader = [&headers](const std::string& line) {
    curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
    if (grown) {
      headers.release();
      headers.reset(grown);
    }
  };
  addHeader("Accept: application/json");
  addHeader("Content-Type: application/json");
  addHeader("Expect:");
  // An empty PAC still goes out as "PAC:": libcurl drops "NAME:" without a value unless written "NAME;".
  if (virtualProcessor) {
    const std::string pac = HeaderValue(secret);
    addHeader(pac.empty() ? std::string("PAC;") : "PAC:" + pac);
  }
  addHeader("Accept-Language:sr-Cyrl-RS");
  if (!requestId.empty()) addHeader("RequestId:" + HeaderValue(requestId));
  return headers;
}

// The options of every request: no proxy, no redirect, a fresh connection, the watch on silence and on the
// deadline, the size limit of the answer, and the body of a POST (which libcurl does not copy).
void SetTransferOptions(CURL* handle, const std::string& url, bool virtualProcessor, curl_slist* headers,
                        const TransportTimeouts& timeouts, const TFormHTTP::StopTest* stopTest, char* errorBuffer,
                        SilenceWatch& silence, BodySink& sink, bool post, const std::string& body) {
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, virtualProcessor ? "https" : "http");
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_PROXY, "");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(handle, CURLOPT_FRESH_CONNECT, 1L);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count()));
  silence.handle = handle;
  silence.limit = timeouts.read;
  silence.stopTest = stopTest;
  silence.totalLimit = timeouts.Total();
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &WatchSilence);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &silence);
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxResponseBytes));
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WriteBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);

  if (post) {
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  } else {
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
  }
}

// The client certificate of a VPFR and the check of its server. `certFile` and `keyFile` keep the names for
// as long as the handle lives.
void SetClientCertificate(CURL* handle, const core::Configuration& configuration, const std::string& serial,
                          std::string& certFile, std::string& keyFile) {
  // Recomputed on every request, so a change of the working certificate counts from the next one.
  certFile = configuration.CertificateDir + "/" + serial + "_cert.pem";
  keyFile = configuration.CertificateDir + "/" + serial + "_key.pem";
  curl_easy_setopt(handle, CURLOPT_SSLVERSION,
                   static_cast<long>(CURL_SSLVERSION_TLSv1_2) | static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2));
  curl_easy_setopt(handle, CURLOPT_SSLCERTTYPE, "PEM");
  curl_easy_setopt(handle, CURLOPT_SSLCERT, certFile.c_str());
  curl_easy_setopt(handle, CURLOPT_SSLKEYTYPE, "PEM");
  curl_easy_setopt(handle, CURLOPT_SSLKEY, keyFile.c_str());
  // The chain and the host name, against the system's store (CAPATH) and the shop's own bundle (CAINFO).
  const bool verify = core::VerifiesProcessorServer(configuration);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, verify ? 1L : 0L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, verify ? 2L : 0L);
  if (verify && !configuration.SdcCaFile.empty()) {
    curl_easy_setopt(handle, CURLOPT_CAINFO, configuration.SdcCaFile.c_str());
    curl_easy_setopt(handle, CURLOPT_CAPATH, kSystemCaFolder);
  }
}

// The body of a POST: an invoice's request file, or the PIN. Raises RequestFileError before any network
// activity when the file cannot be read.
std::string RequestBody(int operation, bool post, const std::string& fileName, const std::string& archiveDir,
                        const std::string& secret) {
  std::string body;
  if (operation == kOpInvoices) {
    // A bare name lies in ArchiveDir; a path names the archive of another road (the local API's).
    const std::string path = fileName.find('/') != std::string::npos ? fileName : archiveDir + "/" + fileName;
    body = ReadRequestFile(path);  // raises before any network activity
  } else if (post) {
    body = secret;
  }
  return body;
}

// Runs the transfer, under the wait (the busy pointer and its line, and Esc for a status or environment
// request) when the program has one.
CURLcode Perform(CURL* handle, int operation, RequestWait* wait, const TransportTimeouts& timeouts,
                 std::atomic<bool>& giveUp) {
  CURLcode result = CURLE_OK;
  const auto transfer = [&result, handle] { result = curl_easy_perform(handle); };
  if (wait != nullptr) {
    const bool mayGiveUp = operation == kOpStatus || operation == kOpEnvironmentParameters;
    wait->Run(OperationTitle(operation), timeouts.Total(), mayGiveUp, giveUp, transfer);
  } else {
    transfer();
  }
  return result;
}

// Why a transfer gave no usable reply.
std::string FailureText(CURLcode result, const BodySink& sink, const SilenceWatch& silence, const char* errorBuffer,
                        bool virtualProcessor, const TransportTimeouts& timeouts) {
  if (sink.tooLarge || result == CURLE_FILESIZE_EXCEEDED) return kResponseTooLargeText;
  if (silence.givenUp) return kRequestGivenUpText;
  if (silence.stopped) return kRequestStoppedText;
  if (silence.overDeadline) {
    return "Request deadline passed: no complete answer from the processor within " +
           std::to_string(timeouts.Total().count()) + " s";
  }
  if (result == CURLE_PEER_FAILED_VERIFICATION) {
    return kUntrustedServerText + ReplaceCrLf(errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(result));
  }
  if (virtualProcessor && SaysClientCertificateRefused(errorBuffer)) {
    return kClientCertificateRefusedText + ReplaceCrLf(errorBuffer);
  }
  if (silence.expired) {
    return "Read timed out: no data from the processor for " + std::to_string(timeouts.read.count()) + " s";
  }
  if (errorBuffer[0] != '\0') return ReplaceCrLf(errorBuffer);
  return ReplaceCrLf(curl_easy_strerror(result));
}

}  // namespace

bool SaysClientCertificateRefused(const std::string& reason) {
  std::string lower = reason;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower.find("alert") == std::string::npos) return false;
  return lower.find("certificate") != std::string::npos || lower.find("unknown ca") != std::string::npos;
}

std::string OperationTitle(int operation) {
  switch (operation) {
    case kOpPin: return "PIN";
    case kOpEnvironmentParameters: return "Okruženje / Environment";
    case kOpAttention: return "Dostupnost / Attention";
    case kOpStatus: return "Status";
    case kOpInvoices: return "Račun / Invoice";
    case kOpInvoiceLookup: return "Provera računa / Invoice lookup";
    default: return "Zahtev / Request";
  }
}

TransportTimeouts TimeoutsFrom(const core::Configuration& configuration) {
  TransportTimeouts timeouts;
  if (const int read = core::ReadTimeoutSeconds(configuration); read > 0) timeouts.read = std::chrono::seconds(read);
  timeouts.total = std::chrono::seconds(core::RequestDeadlineSeconds(configuration));
  return timeouts;
}

std::chrono::seconds LongestTick(const TransportTimeouts& timeouts) {
  return 3 * (std::chrono::ceil<std::chrono::seconds>(timeouts.connect) + timeouts.Total());
}

TFormHTTP::TFormHTTP(const core::Configuration& configuration, const core::WorkingState& workingState)
    : m_configuration(configuration), m_workingState(workingState) {
  ResponseCode = -1;
}

TFormHTTP::Endpoint TFormHTTP::WorkingEndpoint(bool virtualProcessor) {
  if (!m_workingState.WorkSerial.empty() && !m_workingState.WorkPin.empty()) {
    m_secretsBySerial[m_workingState.WorkSerial] = m_workingState.WorkPin;
  }
  return {virtualProcessor, m_workingState.WorkUrl, m_workingState.WorkSerial, m_workingState.WorkPin};
}

void TFormHTTP::CallLPFR(int operation, const std::string& fileName, const std::string& requestId) {
  Call(WorkingEndpoint(false), operation, fileName, requestId);
}

void TFormHTTP::CallVPFR(int operation, const std::string& fileName, const std::string& requestId) {
  Call(WorkingEndpoint(true), operation, fileName, requestId);
}

void TFormHTTP::CallWorking(int operation, const std::string& fileName, const std::string& requestId) {
  if (m_workingState.WorkIsLpfr) {
    CallLPFR(operation, fileName, requestId);
  } else {
    CallVPFR(operation, fileName, requestId);
  }
}

ProcessorTarget TFormHTTP::WorkingTarget() const {
  return {m_workingState.WorkSerial, m_workingState.WorkIsLpfr, m_workingState.WorkUrl};
}

void TFormHTTP::CallTarget(const ProcessorTarget& target, int operation, const std::string& fileName,
                           const std::string& requestId) {
  // An invoice stored before processors were remembered names none: it belongs to the working one.
  if (target.url.empty() || target == WorkingTarget()) {
    CallWorking(operation, fileName, requestId);
    return;
  }
  const auto secret = m_secretsBySerial.find(target.serial);
  Call({!target.isLpfr, target.url, target.serial, secret == m_secretsBySerial.end() ? "" : secret->second},
       operation, fileName, requestId);
}

void TFormHTTP::ResetResult() {
  ResponseBody.clear();
  ErrorText.clear();
  ResponseCode = -1;
  RequestMayHaveArrived = false;
}

void TFormHTTP::Call(const Endpoint& endpoint, int operation, const std::string& fileName,
                     const std::string& requestId) {
  const bool virtualProcessor = endpoint.virtualProcessor;
  ResetResult();
  RequestId = requestId;
  if (StopRequested()) {
    ErrorText = kRequestStoppedText;  // nothing leaves once the program is asked to end
    return;
  }

  // The PIN exists only for a local processor: over a VPFR operation 0 has no path and fails like an
  // unreachable processor.
  const char* path = (virtualProcessor && operation == kOpPin) ? nullptr : OperationPath(operation);
  std::string url = path ? endpoint.url + path : std::string();
  if (path && operation == kOpInvoiceLookup) url += "/" + PathSegment(requestId);

  const bool post = operation == kOpInvoices || (!virtualProcessor && operation == kOpPin);
  const std::string body = RequestBody(operation, post, fileName, m_configuration.ArchiveDir, endpoint.secret);
  if (virtualProcessor && path && url.rfind("https://", 0) != 0) {
    ErrorText = std::string(kVpfrNeedsHttpsText) + ": " + endpoint.url;
    return;
  }

  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) {
    ErrorText = "Cannot create an HTTP client";
    return;
  }
  CURL* handle = curl.get();

  const HeaderList headers = RequestHeaders(virtualProcessor, endpoint.secret, requestId);
  char errorBuffer[CURL_ERROR_SIZE] = {0};
  BodySink sink;

  SilenceWatch silence;
  SetTransferOptions(handle, url, virtualProcessor, headers.get(), m_timeouts, &m_stopTest, errorBuffer, silence,
                     sink, post, body);

  std::string certFile;
  std::string keyFile;
  if (virtualProcessor) SetClientCertificate(handle, m_configuration, endpoint.serial, certFile, keyFile);

  std::atomic<bool> giveUp{false};
  silence.giveUp = &giveUp;
  const CURLcode result = Perform(handle, operation, m_wait, m_timeouts, giveUp);
  long requestBytes = 0;
  curl_easy_getinfo(handle, CURLINFO_REQUEST_SIZE, &requestBytes);
  RequestMayHaveArrived = result == CURLE_OK || (!FailedBeforeSending(result) && requestBytes > 0);
  if (result == CURLE_OK) {
    long status = -1;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    ResponseBody = std::move(sink.body);
    ResponseCode = status > 0 ? static_cast<int>(status) : -1;
    return;
  }

  // No usable reply: the body read so far is not an answer.
  ErrorText = FailureText(result, sink, silence, errorBuffer, virtualProcessor, m_timeouts);
  ResponseCode = -1;
}

}  // namespace telvano::sdc
