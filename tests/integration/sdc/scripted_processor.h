#pragma once

#include <httplib.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "support/temp_dir.h"

namespace telvano::testing {

// A processor stand-in on 127.0.0.1 whose answers the test scripts per path ("/api/v3/status" …).
// Unscripted paths answer 404. It records the last PAC header and the last request body it received. It
// listens twice: plain HTTP at BaseUrl() (an LPFR) and HTTPS at TlsUrl() (a VPFR) with a self-signed
// certificate for 127.0.0.1 that a client trusts through CaFile().
class ScriptedProcessor {
 public:
  ScriptedProcessor();
  ~ScriptedProcessor();
  ScriptedProcessor(const ScriptedProcessor&) = delete;
  ScriptedProcessor& operator=(const ScriptedProcessor&) = delete;

  void Answer(const std::string& path, int status, const std::string& body);
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
  std::string TlsUrl() const { return "https://127.0.0.1:" + std::to_string(m_tlsPort); }
  std::string CaFile() const { return (m_files.Path() / "server.pem").string(); }
  // The client certificate files a VPFR request of the working certificate `serial` presents.
  void WriteClientFiles(const std::string& certificateDir, const std::string& serial) const;
  std::string LastPac() const;
  std::string LastBody() const;
  int RequestCount() const;

 private:
  void Handle(const httplib::Request& request, httplib::Response& response);

  TempDir m_files;
  httplib::Server m_server;
  std::unique_ptr<httplib::SSLServer> m_tlsServer;
  int m_port = 0;
  int m_tlsPort = 0;
  mutable std::mutex m_mutex;
  std::map<std::string, std::pair<int, std::string>> m_answers;
  std::string m_lastPac;
  std::string m_lastBody;
  int m_requestCount = 0;
  std::thread m_thread;
  std::thread m_tlsThread;
};

}  // namespace telvano::testing
