#pragma once

#include <httplib.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace telvano::testing {

// A processor stand-in on 127.0.0.1 whose answers the test scripts per path ("/api/v3/status" …).
// Unscripted paths answer 404. It records the last PAC header and the last request body it received.
class ScriptedProcessor {
 public:
  ScriptedProcessor();
  ~ScriptedProcessor();
  ScriptedProcessor(const ScriptedProcessor&) = delete;
  ScriptedProcessor& operator=(const ScriptedProcessor&) = delete;

  void Answer(const std::string& path, int status, const std::string& body);
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
  std::string LastPac() const;
  std::string LastBody() const;
  int RequestCount() const;

 private:
  void Handle(const httplib::Request& request, httplib::Response& response);

  httplib::Server m_server;
  int m_port = 0;
  mutable std::mutex m_mutex;
  std::map<std::string, std::pair<int, std::string>> m_answers;
  std::string m_lastPac;
  std::string m_lastBody;
  int m_requestCount = 0;
  std::thread m_thread;
};

}  // namespace telvano::testing
