#pragma once

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "port_text.h"

namespace telvano::rawprint {

// A port that was allowed but could not be opened or reached; what() says why.
class PortUnavailable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Bytes that could not be delivered (write error, printer that stopped taking data).
class SendFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PortSettings {
  std::string fileDir;  // the only folder file and picture ports write into; empty: they are refused
  std::string printerModel;  // the model the script names: a picture port reads the code tables as it does
  std::chrono::milliseconds connectTimeout{5000};
  std::chrono::milliseconds writeTimeout{30000};
};

// An open port. Write raises SendFailed; Finish completes the job (a file port only then shows its file
// under its name, so a reader never sees half a receipt).
class PortWriter {
 public:
  virtual ~PortWriter() = default;
  virtual void Write(std::string_view bytes) = 0;
  virtual void Finish() = 0;
};

// Checks the port against the installation (PortRefused: a device port that is no character device, a
// file or picture port without a configured folder) and opens it (PortUnavailable). A picture port takes
// the bytes and, on Finish, writes the picture of the receipt they print (SendFailed when none can be made).
std::unique_ptr<PortWriter> OpenPort(const PortSpec& portSpec, const PortSettings& settings);

}  // namespace telvano::rawprint
