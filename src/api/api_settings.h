#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/configuration.h"

namespace telvano::api {

// The API must not start as configured; what() says why (for the log).
class ApiSettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How the API listens, checked: an address and port, TLS files when it is not loopback, the token's file, the
// origins a browser may call from, and how long a request waits for its outcome.
struct ApiSettings {
  std::string host;
  int port = 0;
  std::string certFile;  // both or neither: HTTPS
  std::string keyFile;
  std::string tokenFile;
  std::vector<std::string> origins;
  std::chrono::seconds wait{10};

  bool Tls() const { return !certFile.empty(); }
};

// Nothing when ApiListen is empty (the API is off). Raises ApiSettingsError for an address that is not
// "host:port" or "[v6]:port", a port outside 1-65535, an address other than loopback without ApiCertFile and
// ApiKeyFile, only one of the two, no ApiTokenFile, or an origin that is not "scheme://host[:port]".
std::optional<ApiSettings> ApiSettingsFrom(const core::Configuration& configuration);

// 127.0.0.0/8, ::1 and "localhost".
bool IsLoopbackHost(const std::string& host);

}  // namespace telvano::api
