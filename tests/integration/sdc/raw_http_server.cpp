#include "raw_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <strings.h>

#include <openssl/ssl.h>

#include "test_certificate.h"

namespace telvano::testing {

RawHttpServer::RawHttpServer(int status, std::string body, bool tls)
    : m_status(status), m_body(std::move(body)), m_tls(tls) {
  if (tls) {
    const TestCertificate certificate = MakeSelfSignedCertificate("127.0.0.1", "127.0.0.1");
    m_caFile = m_files.Path() / "server.pem";
    WriteFileBytes(m_caFile, certificate.certificatePem);
    WriteFileBytes(m_files.Path() / "server.key", certificate.keyPem);
    m_context = {SSL_CTX_new(TLS_server_method()), SSL_CTX_free};
    if (!m_context || SSL_CTX_use_certificate_file(m_context.get(), m_caFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(m_context.get(), (m_files.Path() / "server.key").c_str(), SSL_FILETYPE_PEM) != 1) {
      throw std::runtime_error("cannot set up the test TLS server");
    }
  }
  m_listenSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listenSocket < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(m_listenSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(m_listenSocket, 8) != 0) {
    ::close(m_listenSocket);
    throw std::runtime_error("bind/listen failed");
  }
  socklen_t length = sizeof address;
  ::getsockname(m_listenSocket, reinterpret_cast<sockaddr*>(&address), &length);
  m_port = ntohs(address.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

RawHttpServer::~RawHttpServer() {
  m_stopping = true;
  m_thread.join();
  ::close(m_listenSocket);
}

std::vector<std::string> RawHttpServer::Requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

void RawHttpServer::Serve() {
  while (!m_stopping) {
    pollfd waiting{m_listenSocket, POLLIN, 0};
    if (::poll(&waiting, 1, 20) <= 0) continue;
    const int connection = ::accept4(m_listenSocket, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    HandleConnection(connection);
    ::close(connection);
  }
}

bool RawHttpServer::Receive(void* tls, int socket, std::string& into) {
  char buffer[4096];
  if (tls == nullptr || SSL_pending(static_cast<SSL*>(tls)) == 0) {
    pollfd waiting{socket, POLLIN, 0};
    if (::poll(&waiting, 1, 5000) <= 0) return false;
  }
  const ssize_t got = tls != nullptr ? SSL_read(static_cast<SSL*>(tls), buffer, sizeof buffer)
                                     : ::recv(socket, buffer, sizeof buffer, 0);
  if (got <= 0) return false;
  into.append(buffer, static_cast<std::size_t>(got));
  return true;
}

void RawHttpServer::Send(void* tls, int socket, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = tls != nullptr ? SSL_write(static_cast<SSL*>(tls), bytes.data() + sent,
                                                 static_cast<int>(bytes.size() - sent))
                                     : ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
}

void RawHttpServer::HandleConnection(int socket) {
  std::unique_ptr<SSL, void (*)(SSL*)> tls(nullptr, SSL_free);
  if (m_tls) {
    tls.reset(SSL_new(m_context.get()));
    SSL_set_fd(tls.get(), socket);
    if (SSL_accept(tls.get()) != 1) return;  // the client refused the certificate
  }
  std::string request;
  std::size_t headerEnd = std::string::npos;
  std::size_t expected = 0;
  while (Receive(tls.get(), socket, request)) {
    if (headerEnd == std::string::npos) {
      headerEnd = request.find("\r\n\r\n");
      if (headerEnd != std::string::npos) {
        for (const auto& line : HeaderLines(request)) {
          if (::strncasecmp(line.c_str(), "Content-Length:", 15) == 0) {
            expected = std::strtoul(line.c_str() + 15, nullptr, 10);
          }
        }
      }
    }
    if (headerEnd != std::string::npos && request.size() >= headerEnd + 4 + expected) break;
  }
  {
    std::lock_guard lock(m_mutex);
    m_requests.push_back(request);
  }
  Send(tls.get(), socket,
       "HTTP/1.1 " + std::to_string(m_status) + " Scripted\r\nContent-Type: application/json\r\n" +
           "Content-Length: " + std::to_string(m_body.size()) + "\r\nConnection: close\r\n\r\n" + m_body);
  if (tls) SSL_shutdown(tls.get());
}

std::vector<std::string> HeaderLines(const std::string& rawRequest) {
  std::vector<std::string> lines;
  const std::size_t end = rawRequest.find("\r\n\r\n");
  std::size_t at = rawRequest.find("\r\n");
  while (at != std::string::npos && at < end) {
    const std::size_t next = rawRequest.find("\r\n", at + 2);
    lines.push_back(rawRequest.substr(at + 2, next - at - 2));
    at = next;
  }
  return lines;
}

std::string RequestBody(const std::string& rawRequest) {
  const std::size_t end = rawRequest.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : rawRequest.substr(end + 4);
}

}  // namespace telvano::testing
