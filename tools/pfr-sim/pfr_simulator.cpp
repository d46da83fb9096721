#include "pfr_simulator.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

#include "crypto_text.h"
#include "cut_answer.h"
#include "invoice_request.h"
#include "invoice_signer.h"
#include "sim_state.h"
#include "sim_time.h"
#include "tax_rate_table.h"
#include "text_layout.h"

namespace telvano::pfrsim {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

constexpr std::size_t kLogLimit = 10000;
constexpr const char* kJson = "application/json; charset=utf-8";
const std::vector<std::string> kSupportedLanguages = {"sr-Cyrl-RS", "en-US"};
// Codes that stop an LPFR from signing, in the order a processor reports them.
const std::vector<std::string> kBlockingCodes = {"1300", "2110", "2210", "2220", "2230", "2400"};

bool IsProduction(const SimOptions& options) { return options.environmentName == "СУФ ПРОДУКЦИЈА"; }

std::string Host(const SimOptions& options) {
  return IsProduction(options) ? "suf.purs.gov.rs" : "sandbox.suf.purs.gov.rs";
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Fills what the options leave to be derived.
SimOptions Completed(SimOptions options) {
  if (options.mrc.empty()) options.mrc = (options.mode == Mode::Lpfr ? "00-1002-" : "01-1001-") + options.uid;
  return options;
}

// {"message":"Bad Request","modelState":[{"property":…,"errors":[…]}]}, one entry per property.
std::string ModelStateBody(const std::vector<ModelError>& errors, const std::string& message = "Bad Request") {
  ordered_json modelState = ordered_json::array();
  for (const ModelError& error : errors) {
    auto entry = std::find_if(modelState.begin(), modelState.end(),
                              [&error](const ordered_json& e) { return e["property"] == error.property; });
    if (entry == modelState.end()) {
      modelState.push_back({{"property", error.property}, {"errors", ordered_json::array()}});
      entry = modelState.end() - 1;
    }
    (*entry)["errors"].push_back(error.code);
  }
  ordered_json body;
  body["message"] = message;
  body["modelState"] = modelState;
  return body.dump();
}

std::string MessageBody(const std::string& message) { return ordered_json{{"message", message}}.dump(); }

// An Accept-Language list ("sr-Cyrl-RS;en-US", q-values allowed) is acceptable when it names a supported language.
bool LanguageAcceptable(const std::string& header) {
  std::string token;
  auto matches = [](std::string candidate) {
    candidate.erase(0, candidate.find_first_not_of(' '));
    candidate.erase(candidate.find_last_not_of(' ') + 1);
    return std::any_of(kSupportedLanguages.begin(), kSupportedLanguages.end(), [&candidate](const std::string& s) {
      return ToLowerAscii(s) == ToLowerAscii(candidate);
    });
  };
  for (char c : header + ";") {
    if (c == ';' || c == ',') {
      if (matches(token)) return true;
      token.clear();
    } else {
      token += c;
    }
  }
  return false;
}

// Port of a socket address, or -1.
int PortOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  return -1;
}

// The server side of a plain connection: the socket of this process whose local port is ours and whose peer
// port is the client's. httplib does not hand the socket to handlers.
int FindConnectionSocket(int localPort, int remotePort) {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return -1;
  int found = -1;
  while (dirent* entry = readdir(folder)) {
    const int fd = std::atoi(entry->d_name);
    if (fd <= 2) continue;
    sockaddr_storage local{}, peer{};
    socklen_t localLength = sizeof local, peerLength = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0) continue;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) continue;
    if (PortOf(local) == localPort && PortOf(peer) == remotePort) {
      found = fd;
      break;
    }
  }
  closedir(folder);
  return found;
}

json RequestJson(const LoggedRequest& request) {
  json headers = json::array();
  for (const auto& [name, value] : request.headers) headers.push_back({name, value});
  return {{"method", request.method},
          {"path", request.path},
          {"headers", headers},
          {"body", request.body},
          {"bodyBase64", Base64Encode(request.body)}};
}

FaultKind FaultKindFromText(const std::string& text) {
  static const std::map<std::string, FaultKind> kKinds = {
      {"delay", FaultKind::Delay},   {"drop", FaultKind::Drop},       {"error", FaultKind::HttpError},
      {"malformed", FaultKind::MalformedJson}, {"empty", FaultKind::EmptyBody}, {"status", FaultKind::StatusOverride},
      {"pin", FaultKind::PinAnswer},   {"sign-delay", FaultKind::SignThenDelay},
      {"sign-drop", FaultKind::SignThenDrop}, {"sign-truncate", FaultKind::SignThenTruncate},
      {"sign-error", FaultKind::SignThenError}};
  const auto found = kKinds.find(text);
  if (found == kKinds.end()) throw std::runtime_error("unknown fault kind " + text);
  return found->second;
}

Fault FaultFromJson(const json& body) {
  Fault fault;
  fault.kind = FaultKindFromText(body.at("kind").get<std::string>());
  fault.count = body.value("count", 1);
  fault.delayMs = body.value("delayMs", 0);
  fault.httpStatus = body.value("status", fault.kind == FaultKind::HttpError ? 500 : 200);
  fault.body = body.value("body", std::string());
  if (body.contains("gsc")) fault.gsc = body.at("gsc").get<std::vector<std::string>>();
  if (body.contains("uid")) fault.uid = body.at("uid").get<std::string>();
  return fault;
}

}  // namespace

std::optional<std::string> LoggedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (ToLowerAscii(key) == ToLowerAscii(name)) return value;
  }
  return std::nullopt;
}

struct PfrSimulator::Impl {
  explicit Impl(SimOptions givenOptions)
      : options(Completed(std::move(givenOptions))),
        time(options.utcOffsetMinutes),
        taxes(options.taxRatesFile.empty() ? TaxRateTable::Production()
                                           : TaxRateTable::FromJsonText(ReadWholeFile(options.taxRatesFile))),
        state(options.stateFile),
        pinEntered(options.pinEntered),
        lookupAvailable(options.lookupAvailable),
        fixedTime(options.fixedTime) {}

  const SimOptions options;
  const SimTime time;
  const TaxRateTable taxes;

  std::unique_ptr<httplib::Server> server;
  std::thread listener;
  std::atomic<bool> listenReturned = false;
  int port = -1;

  mutable std::mutex mutex;  // guards everything below
  std::condition_variable wakeUp;
  bool stopping = false;
  SimState state;
  bool pinEntered;
  int wrongPins = 0;
  bool lookupAvailable;
  std::optional<std::vector<std::string>> gscOverride;
  std::optional<TimePoint> fixedTime;
  std::map<std::string, std::deque<Fault>> faults;
  std::deque<LoggedRequest> log;
  std::map<std::string, std::size_t> requestCounts;

  bool Locked() const { return wrongPins >= 5; }

  TimePoint Now() const { return fixedTime.value_or(std::chrono::system_clock::now()); }

  std::string VerificationBase() const { return "https://" + Host(options) + "/v/?vl="; }

  void CreateServer() {
    if (options.mode == Mode::Lpfr) {
      server = std::make_unique<httplib::Server>();
    } else {
      if (options.certFile.empty() || options.keyFile.empty() || options.clientCaFile.empty()) {
        throw std::runtime_error("a VPFR needs --cert, --key and --client-ca");
      }
      auto secure = std::make_unique<httplib::SSLServer>(options.certFile.c_str(), options.keyFile.c_str(),
                                                         options.clientCaFile.c_str());
      if (!secure->is_valid()) throw std::runtime_error("the VPFR's certificate, key or client CA is unusable");
      SSL_CTX* context = secure->ssl_context();
      SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
      SSL_CTX_set_max_proto_version(context, TLS1_2_VERSION);
      // Only a certificate signed by the configured CA gets through the handshake.
      SSL_CTX_set_verify(context, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
      server = std::move(secure);
    }
    server->set_tcp_nodelay(true);
    server->set_payload_max_length(16 * 1024 * 1024);
    auto dispatch = [this](const httplib::Request& request, httplib::Response& response) {
      Dispatch(request, response);
    };
    server->Get(".*", dispatch);
    server->Post(".*", dispatch);
    server->Put(".*", dispatch);
    server->Delete(".*", dispatch);
  }

  void Dispatch(const httplib::Request& request, httplib::Response& response) {
    if (request.path.rfind("/control/", 0) == 0) {
      if (options.control) HandleControl(request, response);
      else response.status = 404;
      return;
    }
    std::optional<Fault> fault = Record(request);
    if (fault && !ApplyFault(*fault, request, response)) return;
    if (options.mode == Mode::Vpfr && request.get_header_value("PAC") != options.pac) {
      Reply(response, 401, ModelStateBody({{"PAC", "2805"}}, "Unauthorized"));
      return;
    }
    if (request.has_header("Accept-Language") && !LanguageAcceptable(request.get_header_value("Accept-Language"))) {
      Reply(response, 406, MessageBody("Not Acceptable"));
      return;
    }
    Route(request, response, fault);
    if (fault) LoseAnswer(*fault, request, response);
  }

  // Logs the request and takes the next fault queued for its path.
  std::optional<Fault> Record(const httplib::Request& request) {
    LoggedRequest entry{request.method, request.path, {}, request.body};
    for (const auto& [name, value] : request.headers) {
      if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT") continue;
      entry.headers.emplace_back(name, value);
    }
    std::lock_guard lock(mutex);
    log.push_back(std::move(entry));
    if (log.size() > kLogLimit) log.pop_front();
    ++requestCounts[request.path];
    for (const std::string& key : {request.path, std::string("*")}) {
      auto queue = faults.find(key);
      if (queue == faults.end() || queue->second.empty()) continue;
      Fault fault = queue->second.front();
      if (--queue->second.front().count <= 0) queue->second.pop_front();
      return fault;
    }
    return std::nullopt;
  }

  // False when the fault has answered (or dropped) the request.
  bool ApplyFault(const Fault& fault, const httplib::Request& request, httplib::Response& response) {
    switch (fault.kind) {
      case FaultKind::Delay: WaitUnlessStopping(fault.delayMs); return true;
      case FaultKind::Drop: DropConnection(request); return false;
      case FaultKind::HttpError: Reply(response, fault.httpStatus, fault.body); return false;
      case FaultKind::MalformedJson: Reply(response, 200, R"({"requestedBy":"YJLQTEQR","sdcDateTime":)"); return false;
      case FaultKind::EmptyBody: Reply(response, 200, ""); return false;
      case FaultKind::StatusOverride:
      case FaultKind::PinAnswer: return true;  // used by the status and PIN answers
      case FaultKind::SignThenDelay:
      case FaultKind::SignThenDrop:
      case FaultKind::SignThenTruncate:
      case FaultKind::SignThenError: return true;  // used on the finished answer (LoseAnswer)
    }
    return true;
  }

  // The sign-then faults: the request has been answered as normal (an invoice signed, counted and kept for
  // the lookup); now that answer is held back or cut on its way to the client.
  void LoseAnswer(const Fault& fault, const httplib::Request& request, httplib::Response& response) {
    switch (fault.kind) {
      case FaultKind::SignThenDelay: WaitUnlessStopping(fault.delayMs); break;
      case FaultKind::SignThenDrop:
        // httplib writes only after the handler and cannot stop half-way, so the half answer goes out here on
        // the connection itself; httplib's own answer then fails on the closed connection. The handler runs
        // on the connection's own thread, so writing through httplib's (const) SSL object cannot race it.
        SendThenClose(const_cast<SSL*>(request.ssl), ConnectionSocket(request),
                      HalfAnswer(response.status, response.get_header_value("Content-Type"), response.body));
        break;
      // httplib sets Content-Length from the body it sends, so the shorter answer is still well-formed.
      case FaultKind::SignThenTruncate: response.body.resize(response.body.size() / 2); break;
      case FaultKind::SignThenError:
        response.status = fault.httpStatus;
        response.set_content(fault.body, "text/html");
        break;
      default: break;
    }
  }

  // Stop() wakes the wait, so a long delay never holds up stopping.
  void WaitUnlessStopping(int milliseconds) {
    std::unique_lock lock(mutex);
    wakeUp.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping; });
  }

  // The server side of the request's connection, or -1.
  int ConnectionSocket(const httplib::Request& request) const {
    int socket = -1;
    if (request.ssl != nullptr) socket = SSL_get_fd(request.ssl);
    if (socket < 0) socket = FindConnectionSocket(port, request.remote_port);
    return socket;
  }

  void DropConnection(const httplib::Request& request) {
    const int socket = ConnectionSocket(request);
    // Shut down, not closed: httplib still owns the descriptor and closes it after its write fails.
    if (socket >= 0) shutdown(socket, SHUT_RDWR);
  }

  static void Reply(httplib::Response& response, int status, const std::string& body) {
    response.status = status;
    response.set_content(body, kJson);
  }

  void Route(const httplib::Request& request, httplib::Response& response, const std::optional<Fault>& fault) {
    const std::string& path = request.path;
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    const std::string invoicePrefix = "/api/v3/invoices/";
    if (get && path == "/api/v3/attention") {
      response.status = 200;
    } else if (get && path == "/api/v3/status") {
      Reply(response, 200, StatusBody(fault));
    } else if (get && path == "/api/v3/environment-parameters") {
      Reply(response, 200, EnvironmentBody());
    } else if (post && path == "/api/v3/pin" && options.mode == Mode::Lpfr) {
      AnswerPin(request.body, response, fault);
    } else if (post && path == "/api/v3/invoices") {
      AnswerInvoice(request, response);
    } else if (get && path.rfind(invoicePrefix, 0) == 0 && path.size() > invoicePrefix.size()) {
      std::lock_guard lock(mutex);
      const std::string* answer = state.AnswerFor(path.substr(invoicePrefix.size()));
      // 503, not 404: a client must be able to tell "lookup down" from "never signed".
      if (!lookupAvailable) Reply(response, 503, MessageBody("Service Unavailable"));
      else if (answer != nullptr) Reply(response, 200, *answer);
      else Reply(response, 404, MessageBody("Not Found"));
    } else {
      Reply(response, 404, MessageBody("Not Found"));
    }
  }

  std::vector<std::string> CurrentGsc() const {
    if (gscOverride) return *gscOverride;
    if (Locked()) return {"2110", "1500"};
    if (!pinEntered) return {"1500", "0210"};
    return {"0000", "0210"};
  }

  std::string StatusBody(const std::optional<Fault>& fault) const {
    std::lock_guard lock(mutex);
    const TimePoint now = Now();
    const TaxGroup* inForce = taxes.InForce(now);
    const ordered_json current =
        inForce != nullptr ? TaxRateTable::GroupJson(*inForce, options.categoryTypeAsInt) : ordered_json(nullptr);
    const bool overridden = fault && fault->kind == FaultKind::StatusOverride;
    std::vector<std::string> gsc = CurrentGsc();
    if (overridden && fault->gsc) gsc = *fault->gsc;
    const std::string uid = overridden && fault->uid ? *fault->uid : options.uid;
    ordered_json status;
    if (options.mode == Mode::Lpfr) {
      status["isPinRequired"] = !pinEntered;
      status["auditRequired"] = false;
      status["sdcDateTime"] = time.IsoWithOffset(now);
      status["lastInvoiceNumber"] = state.LastInvoiceNumber();
      status["protocolVersion"] = "2.0";
      status["secureElementVersion"] = "2.0";
      status["hardwareVersion"] = "1.0";
      status["softwareVersion"] = "1.0";
      status["deviceSerialNumber"] = options.mrc;
      status["make"] = "TELVANO";
      status["model"] = "pfr-sim LPFR";
      status["mssc"] = ordered_json::array();
      status["gsc"] = gsc;
    } else {
      status["sdcDateTime"] = time.IsoWithOffset(now);
      if (gscOverride || (overridden && fault->gsc)) status["gsc"] = gsc;
    }
    status["supportedLanguages"] = kSupportedLanguages;
    status["uid"] = uid;
    status["taxCoreApi"] = "https://api." + Host(options) + "/";
    status["currentTaxRates"] = current;
    status["allTaxRates"] = taxes.AllJson(options.categoryTypeAsInt);
    return status.dump();
  }

  std::string EnvironmentBody() const {
    const std::string host = Host(options);
    ordered_json environment;
    environment["organizationName"] = "Министарство финансија - Пореска управа - Централа";
    environment["serverTimeZone"] = "Central Europe Standard Time";
    environment["street"] = "Саве Машковића 3-5";
    environment["city"] = "Београд";
    environment["country"] = "RS";
    environment["endpoints"] = {{"taxpayerAdminPortal", "https://tap." + host + ":443/"},
                                {"taxCoreApi", "https://api." + host + ":443/"},
                                {"vsdc", "https://vsdc." + host + ":443/"},
                                {"root", "https://" + host + ":443/v/?vl="}};
    environment["environmentName"] = options.environmentName;
    environment["logo"] = "https://" + host + ":443/DownloadContent/TAlogo.png";
    environment["ntpServer"] = "http://0.pool.ntp.org:80/";
    environment["supportedLanguages"] = kSupportedLanguages;
    return environment.dump();
  }

  void AnswerPin(std::string pin, httplib::Response& response, const std::optional<Fault>& fault) {
    if (fault && fault->kind == FaultKind::PinAnswer) {
      Reply(response, fault->httpStatus, fault->body);
      return;
    }
    // The body is the four digits; a client that quotes them is forgiven.
    pin.erase(std::remove_if(pin.begin(), pin.end(), [](char c) { return c == '"' || c == ' ' || c == '\r' || c == '\n'; }),
              pin.end());
    std::lock_guard lock(mutex);
    std::string code;
    if (Locked()) {
      code = "2110";
    } else if (pin.size() != 4 || pin.find_first_not_of("0123456789") != std::string::npos) {
      Reply(response, 400, "\"2806\"");
      return;
    } else if (pin == options.pin) {
      pinEntered = true;
      wrongPins = 0;
      code = "0100";
    } else {
      ++wrongPins;
      code = "2100";
    }
    Reply(response, 200, "\"" + code + "\"");
  }

  // The first code that keeps this processor from signing, or empty.
  std::string RefusalCode() const {
    if (options.mode == Mode::Lpfr && !pinEntered) return "1500";
    if (gscOverride) {
      for (const std::string& code : kBlockingCodes) {
        if (std::find(gscOverride->begin(), gscOverride->end(), code) != gscOverride->end()) return code;
      }
    }
    return {};
  }

  void AnswerInvoice(const httplib::Request& request, httplib::Response& response) {
    TimePoint now;
    {
      std::lock_guard lock(mutex);
      const std::string refusal = RefusalCode();
      if (!refusal.empty()) {
        Reply(response, 400, ModelStateBody({{"", refusal}}));
        return;
      }
      now = Now();
    }
    const TaxGroup* inForce = taxes.InForce(now);
    const ParsedInvoice parsed = InvoiceRequestParser(time, inForce).Parse(request.body);
    if (!parsed.request) {
      Reply(response, 400, ModelStateBody(parsed.errors));
      return;
    }
    const InvoiceRequest& invoice = *parsed.request;
    std::lock_guard lock(mutex);
    const auto [total, perType] = state.Count(InvoiceCounterExtension(invoice.invoiceType, invoice.transactionType));
    SigningContext context;
    context.sdcDateTime = now;
    context.totalCounter = total;
    context.transactionTypeCounter = perType;
    context.group = inForce;
    context.requestedBy = options.uid;
    context.signedBy = options.mode == Mode::Lpfr ? options.uid : options.vpfrUid;
    context.verificationBaseUrl = VerificationBase();
    const ordered_json answer = InvoiceSigner(options, time).Sign(invoice, context);
    const std::string body = answer.dump(-1, ' ', false, json::error_handler_t::replace);
    state.Remember(answer.value("invoiceNumber", std::string()), request.get_header_value("RequestId"), body);
    state.Save();
    Reply(response, 200, body);
  }

  void HandleControl(const httplib::Request& request, httplib::Response& response) {
    try {
      const std::string& path = request.path;
      if (path == "/control/faults" && request.method == "POST") {
        const json body = json::parse(request.body);
        QueueFault(body.at("path").get<std::string>(), FaultFromJson(body));
        Reply(response, 200, "{}");
      } else if (path == "/control/faults" && request.method == "DELETE") {
        std::lock_guard lock(mutex);
        faults.clear();
        Reply(response, 200, "{}");
      } else if (path == "/control/requests" && request.method == "GET") {
        json all = json::array();
        {
          std::lock_guard lock(mutex);
          for (const LoggedRequest& entry : log) all.push_back(RequestJson(entry));
        }
        Reply(response, 200, all.dump(-1, ' ', false, json::error_handler_t::replace));
      } else if (path == "/control/requests" && request.method == "DELETE") {
        std::lock_guard lock(mutex);
        log.clear();
        requestCounts.clear();
        Reply(response, 200, "{}");
      } else if (path == "/control/gsc" && request.method == "PUT") {
        std::lock_guard lock(mutex);
        gscOverride = json::parse(request.body).get<std::vector<std::string>>();
        Reply(response, 200, "{}");
      } else if (path == "/control/gsc" && request.method == "DELETE") {
        std::lock_guard lock(mutex);
        gscOverride.reset();
        Reply(response, 200, "{}");
      } else if (path == "/control/lookup" && request.method == "PUT") {
        const bool available = json::parse(request.body).get<bool>();
        std::lock_guard lock(mutex);
        lookupAvailable = available;
        Reply(response, 200, "{}");
      } else if (path == "/control/lookup" && request.method == "DELETE") {
        std::lock_guard lock(mutex);
        lookupAvailable = true;
        Reply(response, 200, "{}");
      } else if (path == "/control/state" && request.method == "GET") {
        std::lock_guard lock(mutex);
        Reply(response, 200,
              json{{"totalCounter", state.TotalCounter()},
                   {"transactionTypeCounters", state.TypeCounters()},
                   {"lastInvoiceNumber", state.LastInvoiceNumber()},
                   {"pinEntered", pinEntered},
                   {"wrongPins", wrongPins},
                   {"lookupAvailable", lookupAvailable}}
                  .dump());
      } else {
        Reply(response, 404, MessageBody("Not Found"));
      }
    } catch (const std::exception& error) {
      Reply(response, 400, MessageBody(error.what()));
    }
  }

  void QueueFault(const std::string& path, Fault fault) {
    if (fault.count < 1) return;
    std::lock_guard lock(mutex);
    faults[path].push_back(std::move(fault));
  }
};

PfrSimulator::PfrSimulator(SimOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {}

PfrSimulator::~PfrSimulator() { Stop(); }

void PfrSimulator::Start() {
  Impl& impl = *m_impl;
  if (impl.server) throw std::runtime_error("the simulator is already running");
  impl.CreateServer();
  const int port = impl.options.port == 0
                       ? impl.server->bind_to_any_port(impl.options.host)
                       : (impl.server->bind_to_port(impl.options.host, impl.options.port) ? impl.options.port : -1);
  if (port <= 0) {
    impl.server.reset();
    throw std::runtime_error("cannot listen on " + impl.options.host + ":" + std::to_string(impl.options.port));
  }
  impl.port = port;
  impl.listenReturned = false;
  // Wait for connections in short select() rounds rather than one blocking accept(): the accept loop then
  // re-reads its socket after every round, so a stop that closes the socket can never leave it blocked in
  // accept() on a closed (or meanwhile reused) descriptor.
  impl.server->set_idle_interval(0, 50000);
  {
    std::lock_guard lock(impl.mutex);
    impl.stopping = false;
  }
  impl.listener = std::thread([&impl] {
    // A client that hangs up must not end the process: writes then fail with EPIPE instead of raising SIGPIPE.
    // The server's worker threads are started from here and inherit this mask.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    impl.server->listen_after_bind();
    impl.listenReturned = true;
  });
  // stop() only reaches a server that is already in its accept loop: wait for it, or a Stop() right after
  // Start() would leave the loop running for ever.
  while (!impl.server->is_running() && !impl.listenReturned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void PfrSimulator::Stop() {
  Impl& impl = *m_impl;
  if (!impl.server) return;
  {
    std::lock_guard lock(impl.mutex);
    impl.stopping = true;
  }
  impl.wakeUp.notify_all();
  impl.server->stop();
  if (impl.listener.joinable()) impl.listener.join();
  impl.server.reset();
}

std::string PfrSimulator::BaseUrl() const {
  return std::string(m_impl->options.mode == Mode::Lpfr ? "http://" : "https://") + m_impl->options.host + ":" +
         std::to_string(m_impl->port);
}

int PfrSimulator::Port() const { return m_impl->port; }
const SimOptions& PfrSimulator::Options() const { return m_impl->options; }

void PfrSimulator::QueueFault(const std::string& path, Fault fault) { m_impl->QueueFault(path, std::move(fault)); }

void PfrSimulator::ClearFaults() {
  std::lock_guard lock(m_impl->mutex);
  m_impl->faults.clear();
}

std::vector<LoggedRequest> PfrSimulator::Requests() const {
  std::lock_guard lock(m_impl->mutex);
  return {m_impl->log.begin(), m_impl->log.end()};
}

void PfrSimulator::ClearRequests() {
  std::lock_guard lock(m_impl->mutex);
  m_impl->log.clear();
  m_impl->requestCounts.clear();
}

std::size_t PfrSimulator::RequestCount(const std::string& path) const {
  std::lock_guard lock(m_impl->mutex);
  const auto found = m_impl->requestCounts.find(path);
  return found == m_impl->requestCounts.end() ? 0 : found->second;
}

void PfrSimulator::SetGsc(std::vector<std::string> gsc) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->gscOverride = std::move(gsc);
}

void PfrSimulator::ClearGsc() {
  std::lock_guard lock(m_impl->mutex);
  m_impl->gscOverride.reset();
}

bool PfrSimulator::PinEntered() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->pinEntered;
}

void PfrSimulator::SetPinEntered(bool entered) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->pinEntered = entered;
}

int PfrSimulator::WrongPinCount() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->wrongPins;
}

bool PfrSimulator::CardLocked() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->Locked();
}

std::uint32_t PfrSimulator::TotalCounter() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->state.TotalCounter();
}

std::uint32_t PfrSimulator::TransactionTypeCounter(const std::string& extension) const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->state.TypeCounter(extension);
}

void PfrSimulator::SetCounters(std::uint32_t total, std::map<std::string, std::uint32_t> byExtension) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->state.SetCounters(total, std::move(byExtension));
  m_impl->state.Save();
}

std::string PfrSimulator::LastInvoiceNumber() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->state.LastInvoiceNumber();
}

std::optional<std::string> PfrSimulator::AnswerFor(const std::string& requestId) const {
  std::lock_guard lock(m_impl->mutex);
  const std::string* answer = m_impl->state.AnswerFor(requestId);
  return answer != nullptr ? std::optional<std::string>(*answer) : std::nullopt;
}

void PfrSimulator::SetLookupAvailable(bool available) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->lookupAvailable = available;
}

void PfrSimulator::SetTime(std::optional<std::chrono::system_clock::time_point> when) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->fixedTime = when;
}

}  // namespace telvano::pfrsim
