#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace telvano::rawprint {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What one run of the sender was asked to do.
struct SenderOptions {
  std::optional<std::string> logDir;   // --log-dir; not given: the installation's Logs folder
  std::optional<std::string> fileDir;  // --file-dir; not given: the installation's PrintFileDir
  double pauseScale = 1.0;             // --pause-scale; 0 sends without the script's pauses
  std::chrono::milliseconds connectTimeout{5000};
  std::string scriptPath;
  std::string port;  // empty: the port named on the script's first line
};

// Ostrapo [--log-dir DIR] [--file-dir DIR] [--pause-scale F] [--connect-timeout MS] [--] SCRIPT [PORT]
// Raises UsageError.
SenderOptions ParseArguments(const std::vector<std::string>& arguments);

// The two folders the installation's configuration file names (the registry stand-in: $TELVANO_REGISTRY,
// else /etc/xdg/Dravicor/TELVANO.conf, key=value lines): Appl_Root + "/Logs" and PrintFileDir. A missing
// file or key gives an empty text.
struct InstallationFolders {
  std::string logsDir;
  std::string printFileDir;
};
InstallationFolders ReadInstallationFolders();

}  // namespace telvano::rawprint
