#include "db/connection_string.h"

#include <optional>

namespace telvano::db {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = Lower(c);
  return lower;
}

bool IsAlnum(char c) { return (c >= '0' && c <= '9') || (Lower(c) >= 'a' && Lower(c) <= 'z'); }

bool AllOf(std::string_view text, bool (*allowed)(char)) {
  for (const char c : text) {
    if (!allowed(c)) return false;
  }
  return true;
}

bool HostNameChar(char c) { return IsAlnum(c) || c == '.' || c == '-' || c == '_'; }
bool PortChar(char c) { return IsAlnum(c) || c == '-' || c == '_'; }
// An IPv6 address (with a zone, "fe80::1%eth0"), or any host, inside brackets.
bool BracketedChar(char c) { return HostNameChar(c) || c == ':' || c == '%'; }

// The host of "name" or "[address]" without the brackets; nullopt when the text is no host.
std::optional<std::string> HostOf(std::string_view text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
    const std::string_view inner = text.substr(1, text.size() - 2);
    if (inner.empty() || !AllOf(inner, BracketedChar)) return std::nullopt;
    return std::string(inner);
  }
  if (text.empty() || text.front() == '.' || text.front() == '-' || !AllOf(text, HostNameChar)) {
    return std::nullopt;
  }
  return std::string(text);
}

struct HostAndPort {
  std::string host;
  std::string port;
};

// "host", "[address]", and either followed by `separator` and a port: "host/3051" in the legacy form,
// "host:3051" in the URL form.
std::optional<HostAndPort> ReadHostAndPort(std::string_view text, char separator) {
  std::size_t split = std::string_view::npos;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    if (close + 1 < text.size()) {
      if (text[close + 1] != separator) return std::nullopt;
      split = close + 1;
    }
  } else {
    split = text.find(separator);
  }
  const std::optional<std::string> host = HostOf(text.substr(0, split));
  if (!host) return std::nullopt;
  if (split == std::string_view::npos) return HostAndPort{*host, ""};
  const std::string_view port = text.substr(split + 1);
  if (port.empty() || !AllOf(port, PortChar)) return std::nullopt;
  return HostAndPort{*host, std::string(port)};
}

// inet://host[:port]/path; without a host before the first "/" the server is this machine's.
std::optional<ConnectionString> ReadUrlForm(std::string_view text) {
  for (const std::string_view protocol : {"inet://", "inet4://", "inet6://"}) {
    if (LowerAscii(text.substr(0, protocol.size())) != protocol) continue;
    const std::string_view rest = text.substr(protocol.size());
    const std::size_t slash = rest.find('/');
    if (slash == 0 || slash == std::string_view::npos) return ConnectionString{"localhost", "", std::string(rest)};
    const std::string_view hostPart = rest.substr(0, slash);
    const std::string path(rest.substr(slash + 1));
    if (const std::optional<HostAndPort> server = ReadHostAndPort(hostPart, ':')) {
      return ConnectionString{server->host, server->port, path};
    }
    return ConnectionString{std::string(hostPart), "", path};  // a server, though not one that answers
  }
  return std::nullopt;
}

}  // namespace

bool ConnectionString::OnThisMachine() const {
  if (host.empty()) return true;
  const std::string name = LowerAscii(host);
  if (name == "localhost" || name == "::1") return true;
  return name.rfind("127.", 0) == 0 && name.find_first_not_of("0123456789.") == std::string::npos;
}

ConnectionString ReadConnectionString(std::string_view text) {
  if (std::optional<ConnectionString> url = ReadUrlForm(text)) return *url;
  const ConnectionString file{"", "", std::string(text)};
  std::size_t colon = std::string_view::npos;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close != std::string_view::npos) colon = text.find(':', close);
  } else {
    colon = text.find(':');
  }
  if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) return file;
  const std::optional<HostAndPort> server = ReadHostAndPort(text.substr(0, colon), '/');
  if (!server) return file;
  return ConnectionString{server->host, server->port, std::string(text.substr(colon + 1))};
}

}  // namespace telvano::db
