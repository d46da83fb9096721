#include "support/notify_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace telvano::testing {

NotifySocket::NotifySocket() : m_path((m_dir.Path() / "notify").string()) {
  m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (m_fd < 0 || m_path.size() >= sizeof address.sun_path) throw std::runtime_error("no notify socket");
  std::memcpy(address.sun_path, m_path.c_str(), m_path.size() + 1);
  if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("cannot bind the notify socket " + m_path + ": " + std::strerror(errno));
  }
}

NotifySocket::~NotifySocket() {
  if (m_fd >= 0) ::close(m_fd);
}

std::optional<std::string> NotifySocket::Next(std::chrono::milliseconds limit) {
  pollfd ready{m_fd, POLLIN, 0};
  if (::poll(&ready, 1, static_cast<int>(limit.count())) != 1) return std::nullopt;
  char buffer[4096];
  const ssize_t length = ::recv(m_fd, buffer, sizeof buffer, 0);
  if (length < 0) return std::nullopt;
  std::string notice(buffer, static_cast<std::size_t>(length));
  m_seen += notice + "\n--\n";
  return notice;
}

bool NotifySocket::WaitFor(const std::string& line, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const auto notice = Next(left);
    if (notice && NoticeHas(*notice, line)) return true;
  }
}

bool NoticeHas(const std::string& notice, const std::string& line) {
  return ("\n" + notice + "\n").find("\n" + line + "\n") != std::string::npos;
}

}  // namespace telvano::testing
