#pragma once

#include <curl/curl.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "pfr-sim/pfr_simulator.h"

namespace telvano::testing {

// One answer of the simulator; `answered` is false when no HTTP answer came (refused, dropped, handshake).
struct SimReply {
  bool answered = false;
  int status = 0;
  std::string body;
};

// Requests the way TELVANO makes them: a new connection each time, JSON accept/content type,
// Accept-Language sr-Cyrl-RS, and for a VPFR the PAC header and a client certificate.
struct SimClient {
  std::string baseUrl;
  std::string pac;         // VPFR: sent as "PAC"
  std::string clientCert;  // VPFR: PEM files of the client certificate
  std::string clientKey;
  std::vector<std::pair<std::string, std::string>> extraHeaders;

  SimReply Get(const std::string& path) const;
  SimReply Post(const std::string& path, const std::string& body) const;
};

SimClient LpfrClient(const pfrsim::PfrSimulator& simulator);

// A request through libcurl, which TELVANO's transport uses, for what shows only there: `code` tells a
// timeout (CURLE_OPERATION_TIMEDOUT) or a body cut short (CURLE_PARTIAL_FILE) from a whole answer; `body` is
// what arrived either way.
struct CurlReply {
  CURLcode code = CURLE_OK;
  long status = 0;
  std::string body;
};
CurlReply CurlRequest(const SimClient& client, const std::string& method, const std::string& path,
                      const std::string& body = {}, long timeoutMs = 10000);

std::string ReadDataFile(const std::string& name);  // from tests/data/pfr-sim
nlohmann::json ParseJson(const std::string& text);   // fails the test on bad JSON

// A one-item request in TELVANO's form; the label and amounts can be changed by the caller.
nlohmann::ordered_json OneItemInvoice(const std::string& label = "Ђ", double unitPrice = 120.0,
                                      double quantity = 1, double total = 120.0);

// Runs zbarimg on a GIF and returns what it decoded; nullopt when zbarimg is not installed.
std::optional<std::string> DecodeQrWithZbar(const std::string& gifBytes);

}  // namespace telvano::testing
