#include "api/api_server.h"

#include <httplib.h>

#include <algorithm>
#include <thread>

#include "api/api_keys.h"
#include "api/request_checks.h"
#include "api/result_texts.h"
#include "invoice/tform_invoice.h"

namespace telvano::api {
namespace {

constexpr const char* kJson = "application/json; charset=utf-8";
constexpr std::size_t kThreads = 16;
constexpr const char* kBusyText =
    "TELVANO je zauzet; ništa nije urađeno, pošaljite zahtev ponovo / TELVANO is busy; nothing was done, send the "
    "request again";

void Reply(httplib::Response& response, const ApiAnswer& answer) {
  response.status = answer.status;
  for (const auto& [name, value] : answer.headers) response.set_header(name.c_str(), value);
  response.set_content(answer.body, kJson);
}

void Reply(httplib::Response& response, int status, std::string_view kind, std::string_view error) {
  Reply(response, {status, StatusBody(kind, error), {}});
}

}  // namespace

struct ApiServer::Impl {
  ApiSettings settings;
  ApiToken token;
  ApiQueue& queue;
  const StatusBoard& board;
  std::unique_ptr<httplib::Server> server;
  std::thread thread;

  bool AllowedOrigin(const std::string& origin) const {
    return std::find(settings.origins.begin(), settings.origins.end(), origin) != settings.origins.end();
  }

  httplib::Server::HandlerResponse Gate(const httplib::Request& request, httplib::Response& response) const {
    const std::string origin = request.get_header_value("Origin");
    if (!origin.empty()) {
      if (!AllowedOrigin(origin)) {
        Reply(response, 403, "forbidden", "Origin not allowed / Poreklo nije dozvoljeno: " + origin);
        return httplib::Server::HandlerResponse::Handled;
      }
      response.set_header("Access-Control-Allow-Origin", origin);
      response.set_header("Vary", "Origin");
      response.set_header("Access-Control-Expose-Headers", "Location");
    }
    if (request.method == "OPTIONS") {
      // A preflight carries no token; it only tells a listed origin what it may send.
      response.status = origin.empty() ? 400 : 204;
      response.set_header("Access-Control-Allow-Methods", "GET, POST, OPTIONS");
      response.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type, Idempotency-Key");
      response.set_header("Access-Control-Max-Age", "600");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!token.Matches(ApiToken::BearerOf(request.get_header_value("Authorization")))) {
      response.set_header("WWW-Authenticate", "Bearer");
      Reply(response, 401, "unauthorized", "A valid bearer token is needed / Potreban je ispravan token");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  }

  std::optional<ApiAnswer> HandOver(ApiRequest request, httplib::Response& response) {
    const ApiQueue::Waited waited = queue.Submit(std::move(request), settings.wait);
    if (waited.answer) return waited.answer;
    if (!waited.taken) {
      response.set_header("Retry-After", "1");
      Reply(response, 503, "busy", kBusyText);
    }
    return std::nullopt;
  }

  void PostInvoice(const httplib::Request& request, httplib::Response& response) {
    const std::string key = request.get_header_value("Idempotency-Key");
    if (!IsIdempotencyKey(key)) {
      return Reply(response, 400, "badRequest", "Idempotency-Key: 1-64 of A-Z a-z 0-9 _ - / 1-64 znaka A-Z a-z 0-9 _ -");
    }
    std::string why;
    const auto file = ParseFileBody(request.body, "INV_", why);
    if (!file) return Reply(response, 400, "badRequest", why);
    const auto answer = HandOver({ApiRequest::Kind::PostInvoice, key, file->name, file->text}, response);
    if (answer) return Reply(response, *answer);
    if (response.status == 503) return;
    // Taken but not finished in time: it goes on, and its key tells the outcome.
    response.set_header("Location", "/v1/invoices/" + key);
    Reply(response, 202, "pending", invoice::kMessageOutcomeUnknown);
  }

  void GetInvoice(const httplib::Request& request, httplib::Response& response) {
    const std::string key = request.matches[1];
    if (!IsIdempotencyKey(key)) return Reply(response, 404, "unknown", "Nepoznat ključ / Unknown key");
    const auto answer = HandOver({ApiRequest::Kind::GetInvoice, key, {}, {}}, response);
    if (answer) return Reply(response, *answer);
    if (response.status != 503) Reply(response, 503, "busy", kBusyText);
  }

  void PostCommand(const httplib::Request& request, httplib::Response& response) {
    std::string why;
    const auto file = ParseFileBody(request.body, "CMD_", why);
    if (!file) return Reply(response, 400, "badRequest", why);
    const auto answer = HandOver({ApiRequest::Kind::PostCommand, {}, file->name, file->text}, response);
    if (answer) return Reply(response, *answer);
    if (response.status != 503) {
      Reply(response, 504, "timeout", "The command did not finish in time; it may still run / Komanda nije završena");
    }
  }

  void Route() {
    server->set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) { return Gate(request, response); });
    server->Post("/v1/invoices", [this](const auto& request, auto& response) { PostInvoice(request, response); });
    server->Get(R"(/v1/invoices/([^/]+))", [this](const auto& request, auto& response) { GetInvoice(request, response); });
    server->Post("/v1/commands", [this](const auto& request, auto& response) { PostCommand(request, response); });
    server->Get("/v1/status", [this](const auto&, auto& response) { response.set_content(board.StatusJson(), kJson); });
    server->Get("/metrics", [this](const auto&, auto& response) {
      response.set_content(board.MetricsText(), "text/plain; version=0.0.4; charset=utf-8");
    });
    // Every other failure (an unknown path, a body too large) still answers JSON.
    server->set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& response) -> httplib::Server::HandlerResponse {
      if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
      const std::string kind = response.status == 413 ? "tooLarge" : response.status == 404 ? "notFound" : "error";
      Reply(response, response.status, kind, "HTTP " + std::to_string(response.status));
      return httplib::Server::HandlerResponse::Handled;
    }));
  }
};

ApiServer::ApiServer(const ApiSettings& settings, ApiToken token, ApiQueue& queue, const StatusBoard& board)
    : m_impl(new Impl{settings, std::move(token), queue, board, nullptr, {}}) {}

ApiServer::~ApiServer() { Stop(); }

void ApiServer::Start() {
  Impl& impl = *m_impl;
  if (impl.settings.Tls()) {
    impl.server = std::make_unique<httplib::SSLServer>(impl.settings.certFile.c_str(), impl.settings.keyFile.c_str());
  } else {
    impl.server = std::make_unique<httplib::Server>();
  }
  if (!impl.server->is_valid()) {
    impl.server.reset();
    throw ApiSettingsError("the API's certificate or key (ApiCertFile, ApiKeyFile) cannot be used");
  }
  impl.server->new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  impl.server->set_tcp_nodelay(true);
  impl.server->set_payload_max_length(kMaxBodyBytes);
  impl.server->set_read_timeout(5, 0);
  impl.server->set_write_timeout(5, 0);
  impl.server->set_keep_alive_timeout(2);
  impl.Route();
  if (!impl.server->bind_to_port(impl.settings.host.c_str(), impl.settings.port)) {
    impl.server.reset();
    throw ApiSettingsError("the API cannot listen on " + impl.settings.host + ":" + std::to_string(impl.settings.port) +
                           " (taken, or not an address of this machine)");
  }
  impl.thread = std::thread([&impl] { impl.server->listen_after_bind(); });
}

void ApiServer::Stop() {
  Impl& impl = *m_impl;
  if (!impl.server) return;
  impl.queue.Close();  // waiting requests are answered at once: nothing more is taken
  impl.server->stop();
  if (impl.thread.joinable()) impl.thread.join();
  impl.server.reset();
}

}  // namespace telvano::api
