#pragma once

#include <httplib.h>

#include <memory>
#include <string>

#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"

namespace telvano::testing {

// An installation whose program listens for the local API on a free loopback port, and a client of it.
class ApiInstallation {
 public:
  static constexpr const char* kToken = "e2e-token-0123456789abcdef0123456789";
  static constexpr const char* kOrigin = "http://127.0.0.1:7999";

  explicit ApiInstallation(E2eInstallation& installation);
  int Port() const { return m_port; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }

  // A client that sends the token (and an Origin when given).
  std::unique_ptr<httplib::Client> Client(const std::string& token = kToken, const std::string& origin = {}) const;
  httplib::Result PostInvoice(const std::string& key, const std::string& name, const std::string& csv) const;
  httplib::Result GetInvoice(const std::string& key) const;
  // Waits until the API answers (the program's first tick starts it); false after 30 s.
  bool WaitUntilListening() const;

 private:
  E2eInstallation& m_installation;
  int m_port = 0;
};

// A shop: the simulator as its local processor and an installation whose program is to listen for the API.
class ApiShop {
 public:
  static constexpr const char* kUid = "YJLQTEQR";

  ApiShop();
  ~ApiShop();
  // Starts the program unattended; empty once it has written "OK," and its API answers, else why not.
  std::string Start();
  // STOP-TELVANO; the program's exit code.
  int Stop();

  std::unique_ptr<pfrsim::PfrSimulator> sim;
  E2eInstallation installation;
  ApiInstallation api{installation};
};

// A port of 127.0.0.1 that nobody listened on a moment ago.
int FreeLoopbackPort();
// {"name": name, "csv": csv}
std::string FileBody(const std::string& name, const std::string& csv);

}  // namespace telvano::testing
