#include "cut_answer.h"

#include <sys/socket.h>

#include <cerrno>

namespace telvano::pfrsim {

namespace {

std::string ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 404:
      return "Not Found";
    case 406:
      return "Not Acceptable";
    case 503:
      return "Service Unavailable";
    default:
      return "";  // a reason phrase may be empty
  }
}

}  // namespace

std::string HalfAnswer(int status, const std::string& contentType, const std::string& body) {
  std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n";
  if (!contentType.empty()) answer += "Content-Type: " + contentType + "\r\n";
  answer += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  answer += "Connection: close\r\n\r\n";
  answer += body.substr(0, body.size() / 2);
  return answer;
}

bool SendThenClose(SSL* ssl, int socket, const std::string& bytes) {
  bool sent = true;
  if (ssl != nullptr) {
    sent = SSL_write(ssl, bytes.data(), static_cast<int>(bytes.size())) == static_cast<int>(bytes.size());
    // close_notify before the socket goes down: the client then sees a clean end of the TLS stream, so it
    // reports the body as cut short (libcurl: partial file) just as over plain HTTP, not as a TLS failure.
    SSL_shutdown(ssl);
  } else {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t written = send(socket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        sent = false;
        break;
      }
      done += static_cast<std::size_t>(written);
    }
  }
  // Shut down, not closed: httplib still owns the descriptor and closes it once its own answer fails.
  if (socket >= 0) shutdown(socket, SHUT_RDWR);
  return sent;
}

}  // namespace telvano::pfrsim
