#include "port_text.h"

#include <array>
#include <charconv>
#include <vector>

namespace telvano::rawprint {

namespace {

constexpr std::array<int, 9> kSerialSpeeds = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
constexpr std::size_t kMaxFileName = 255;

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (true) {
    const std::size_t end = text.find(separator, at);
    parts.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) return parts;
    at = end + 1;
  }
}

bool IsPortNumber(const std::string& text) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= 1 && value <= 65535;
}

PortSpec DevicePort(const std::string& text) {
  const std::vector<std::string> parts = Split(text, ':');
  if (parts.size() > 3) throw PortRefused("too many ':' in device port " + text);
  PortSpec portSpec;
  portSpec.kind = PortSpec::Kind::Device;
  portSpec.devicePath = parts[0];
  if (portSpec.devicePath.rfind("/dev/", 0) != 0) throw PortRefused("a device port must lie below /dev: " + text);
  if (parts.size() >= 2) {
    portSpec.serialOptions = true;
    int speed = 0;
    const auto& field = parts[1];
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), speed);
    bool known = false;
    for (int candidate : kSerialSpeeds) known = known || candidate == speed;
    if (field.empty() || error != std::errc() || end != field.data() + field.size() || !known)
      throw PortRefused("unknown serial speed \"" + field + "\"");
    portSpec.speed = speed;
  }
  if (parts.size() == 3) {
    const auto& flow = parts[2];
    if (flow == "rtscts") portSpec.flow = FlowControl::RtsCts;
    else if (flow == "xonxoff") portSpec.flow = FlowControl::XonXoff;
    else if (flow == "none" || flow.empty()) portSpec.flow = FlowControl::None;
    else throw PortRefused("unknown flow control \"" + flow + "\" (rtscts, xonxoff, none)");
  }
  return portSpec;
}

// host:port, [v6]:port
bool SplitHostPort(const std::string& text, std::string& host, std::string& service) {
  std::size_t colon;
  if (!text.empty() && text[0] == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') return false;
    host = text.substr(1, close - 1);
    colon = close + 1;
  } else {
    colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    host = text.substr(0, colon);
    if (host.find(':') != std::string::npos) return false;
  }
  service = text.substr(colon + 1);
  if (host.empty() || !IsPortNumber(service)) return false;
  for (char c : host)
    if (c == '/' || c == ' ') return false;
  return true;
}

PortSpec FilePort(const std::string& name, PortSpec::Kind kind) {
  if (name.empty()) throw PortRefused("file port without a file name");
  if (name == "." || name == "..") throw PortRefused("file name \"" + name + "\" leaves the print-file folder");
  if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
    throw PortRefused("file name \"" + name + "\" leaves the print-file folder");
  if (name.size() > kMaxFileName) throw PortRefused("file name longer than 255 characters");
  PortSpec portSpec;
  portSpec.kind = kind;
  portSpec.fileName = name;
  return portSpec;
}

}  // namespace

PortSpec ParsePortText(const std::string& text) {
  if (text.empty()) throw PortRefused("no printer port given");
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) throw PortRefused("control character in port text");
  if (text.rfind("file:", 0) == 0) return FilePort(text.substr(5), PortSpec::Kind::File);
  if (text.rfind("png:", 0) == 0) return FilePort(text.substr(4), PortSpec::Kind::Png);
  if (text[0] == '/') return DevicePort(text);
  const std::string network = text.rfind("tcp://", 0) == 0 ? text.substr(6) : text;
  PortSpec portSpec;
  portSpec.kind = PortSpec::Kind::Tcp;
  if (SplitHostPort(network, portSpec.host, portSpec.service)) return portSpec;
  throw PortRefused("unknown port \"" + text + "\" (a /dev device, tcp://host:port, host:port, file:NAME or png:NAME)");
}

}  // namespace telvano::rawprint
