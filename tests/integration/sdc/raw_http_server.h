#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

struct ssl_ctx_st;

namespace telvano::testing {

// A bare HTTP/1.1 server on 127.0.0.1 that records every request byte for byte (header lines exactly as
// they arrived, which a parsing server would normalise) and answers each with the same scripted reply. With
// `tls` it speaks HTTPS with a self-signed certificate for 127.0.0.1 that a client trusts through CaFile().
class RawHttpServer {
 public:
  RawHttpServer(int status, std::string body, bool tls = false);
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int Port() const { return m_port; }
  std::string BaseUrl() const {
    return (m_tls ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(m_port);
  }
  // The server's certificate as a CA file for the client (TLS only).
  std::string CaFile() const { return m_caFile.string(); }
  // The raw requests received so far (request line, header lines, blank line, body).
  std::vector<std::string> Requests() const;

 private:
  void Serve();
  void HandleConnection(int socket);
  bool Receive(void* tls, int socket, std::string& into);
  void Send(void* tls, int socket, const std::string& bytes);

  int m_status;
  std::string m_body;
  bool m_tls;
  std::unique_ptr<ssl_ctx_st, void (*)(ssl_ctx_st*)> m_context{nullptr, nullptr};
  TempDir m_files;
  std::filesystem::path m_caFile;
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
