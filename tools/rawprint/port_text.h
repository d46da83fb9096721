#pragma once

#include <stdexcept>
#include <string>

namespace telvano::rawprint {

// A port text that may not be used; what() says why.
class PortRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class FlowControl { None, RtsCts, XonXoff };

// Where the bytes go, as read from a port text.
struct PortSpec {
  enum class Kind { Device, Tcp, File, Png } kind = Kind::Device;
  std::string devicePath;  // Device: /dev/usb/lp0, /dev/ttyUSB0
  int speed = 0;           // Device: serial speed in baud; 0: not given
  FlowControl flow = FlowControl::None;
  bool serialOptions = false;  // Device: speed or flow control given
  std::string host;        // Tcp
  std::string service;     // Tcp: the port number as text
  std::string fileName;    // File, Png: a plain name inside the print-file folder
};

// Reads a port text. Forms:
//   /dev/usb/lp0                     a character device
//   /dev/ttyUSB0:19200:rtscts        a serial line with speed and flow control (rtscts, xonxoff, none)
//   tcp://host:9100  host:9100       a network printer ([::1]:9100 for IPv6 addresses)
//   file:NAME                        a file in the print-file folder
//   png:NAME                         a picture of the receipt, as a PNG file in the print-file folder
// Raises PortRefused for anything else, for control characters, and for a file name that is empty,
// "." or "..", or holds "/" or "\" (it would leave the folder).
PortSpec ParsePortText(const std::string& text);

}  // namespace telvano::rawprint
