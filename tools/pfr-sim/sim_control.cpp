#include "sim_server.h"

#include <nlohmann/json.hpp>

#include <stdexcept>

#include "crypto_text.h"

namespace telvano::pfrsim {

namespace {

using nlohmann::json;

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

void PfrSimulator::Impl::HandleControl(const httplib::Request& request, httplib::Response& response) {
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

}  // namespace telvano::pfrsim
