#include "sim_server.h"

#include <openssl/ssl.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "text_layout.h"

namespace telvano::pfrsim {

namespace {

constexpr std::size_t kLogLimit = 10000;

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

}  // namespace

PfrSimulator::Impl::Impl(SimOptions givenOptions)
    : options(Completed(std::move(givenOptions))),
      time(options.utcOffsetMinutes),
      taxes(options.taxRatesFile.empty() ? TaxRateTable::Production()
                                         : TaxRateTable::FromJsonText(ReadWholeFile(options.taxRatesFile))),
      state(options.stateFile),
      pinEntered(options.pinEntered),
      lookupAvailable(options.lookupAvailable),
      fixedTime(options.fixedTime) {}

void PfrSimulator::Impl::CreateServer() {
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

void PfrSimulator::Impl::Dispatch(const httplib::Request& request, httplib::Response& response) {
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

std::optional<Fault> PfrSimulator::Impl::Record(const httplib::Request& request) {
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

void PfrSimulator::Impl::Route(const httplib::Request& request, httplib::Response& response,
                               const std::optional<Fault>& fault) {
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

}  // namespace telvano::pfrsim
