#include "api/api_settings.h"

#include <arpa/inet.h>

#include <cstring>

namespace telvano::api {
namespace {

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// "host:port" or "[v6]:port" into its parts.
void SplitAddress(const std::string& listen, ApiSettings& settings) {
  std::string host;
  std::string port;
  if (!listen.empty() && listen.front() == '[') {
    const std::size_t close = listen.find(']');
    if (close == std::string::npos || close + 1 >= listen.size() || listen[close + 1] != ':') {
      throw ApiSettingsError("ApiListen \"" + listen + "\" is not [address]:port");
    }
    host = listen.substr(1, close - 1);
    port = listen.substr(close + 2);
  } else {
    const std::size_t colon = listen.rfind(':');
    if (colon == std::string::npos || listen.find(':') != colon) {
      throw ApiSettingsError("ApiListen \"" + listen + "\" is not address:port (an IPv6 address goes in [ ])");
    }
    host = listen.substr(0, colon);
    port = listen.substr(colon + 1);
  }
  if (host.empty() || host.find_first_of(" \t/") != std::string::npos) {
    throw ApiSettingsError("ApiListen \"" + listen + "\" names no address");
  }
  if (!AllDigits(port) || port.size() > 5 || std::stoi(port) < 1 || std::stoi(port) > 65535) {
    throw ApiSettingsError("ApiListen \"" + listen + "\": the port must be a number from 1 to 65535");
  }
  settings.host = host;
  settings.port = std::stoi(port);
}

// An origin as a browser sends it: scheme, "://", host, an optional port, nothing after.
bool IsOrigin(const std::string& origin) {
  const std::size_t scheme = origin.find("://");
  if (scheme == std::string::npos || (origin.compare(0, scheme, "http") != 0 && origin.compare(0, scheme, "https") != 0)) {
    return false;
  }
  const std::string rest = origin.substr(scheme + 3);
  return !rest.empty() && rest.find_first_of("/?#@ \t\"'") == std::string::npos;
}

std::vector<std::string> SplitOrigins(const std::string& text) {
  std::vector<std::string> origins;
  std::string current;
  for (const char c : text + " ") {
    if (c == ' ' || c == ',' || c == '\t') {
      if (!current.empty()) {
        if (!IsOrigin(current)) throw ApiSettingsError("ApiOrigins: \"" + current + "\" is not scheme://host[:port]");
        origins.push_back(current);
      }
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  return origins;
}

}  // namespace

bool IsLoopbackHost(const std::string& host) {
  if (host == "localhost" || host == "::1") return true;
  in_addr address{};
  if (::inet_pton(AF_INET, host.c_str(), &address) != 1) return false;
  return (ntohl(address.s_addr) >> 24) == 127;
}

std::optional<ApiSettings> ApiSettingsFrom(const core::Configuration& configuration) {
  if (configuration.ApiListen.empty()) return std::nullopt;
  ApiSettings settings;
  SplitAddress(configuration.ApiListen, settings);
  if (configuration.ApiCertFile.empty() != configuration.ApiKeyFile.empty()) {
    throw ApiSettingsError("ApiCertFile and ApiKeyFile go together");
  }
  settings.certFile = configuration.ApiCertFile;
  settings.keyFile = configuration.ApiKeyFile;
  if (!IsLoopbackHost(settings.host) && !settings.Tls()) {
    throw ApiSettingsError("ApiListen \"" + configuration.ApiListen +
                           "\" is not a loopback address: it needs ApiCertFile and ApiKeyFile (HTTPS)");
  }
  if (configuration.ApiTokenFile.empty()) throw ApiSettingsError("ApiTokenFile is not set");
  settings.tokenFile = configuration.ApiTokenFile;
  settings.origins = SplitOrigins(configuration.ApiOrigins);
  settings.wait = std::chrono::seconds(core::ApiWaitSeconds(configuration));
  return settings;
}

}  // namespace telvano::api
