#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace telvano::testing {

// A bare HTTP/1.1 server on 127.0.0.1 that records every request byte for byte (header lines exactly as
// they arrived, which a parsing server would normalise) and answers each with the same scripted reply.
class RawHttpServer {
 public:
  RawHttpServer(int status, std::string body);
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int Port() const { return m_port; }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }
  // The raw requests received so far (request line, header lines, blank line, body).
  std::vector<std::string> Requests() const;

 private:
  void Serve();
  void HandleConnection(int socket);

  int m_status;
  std::string m_body;
  int m_listenSocket = -1;
  int m_port = 0;
  std::atomic<bool> m_stopping{false};
  mutable std::mutex m_mutex;
  std::vector<std::string> m_requests;
  std::thread m_thread;
};

// The header lines of a raw request (without the request line and without the line ends).
std::vector<std::string> HeaderLines(const std::string& rawRequest);
// The body of a raw request (everything after the first blank line).
std::string RequestBody(const std::string& rawRequest);

}  // namespace telvano::testing
