#include "sim_server.h"

#include <dirent.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>

#include <cstdlib>

#include "cut_answer.h"

namespace telvano::pfrsim {

namespace {

// Port of a socket address, or -1.
int PortOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
  return -1;
}

// The server side of a plain connection: the socket of this process whose local port is ours and whose peer
// port is the client's. httplib does not hand the socket to handlers.
int FindConnectionSocket(int localPort, int remotePort) {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return -1;
  int found = -1;
  while (dirent* entry = readdir(folder)) {
    const int fd = std::atoi(entry->d_name);
    if (fd <= 2) continue;
    sockaddr_storage local{}, peer{};
    socklen_t localLength = sizeof local, peerLength = sizeof peer;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0) continue;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) continue;
    if (PortOf(local) == localPort && PortOf(peer) == remotePort) {
      found = fd;
      break;
    }
  }
  closedir(folder);
  return found;
}

}  // namespace

bool PfrSimulator::Impl::ApplyFault(const Fault& fault, const httplib::Request& request, httplib::Response& response) {
  switch (fault.kind) {
    case FaultKind::Delay: WaitUnlessStopping(fault.delayMs); return true;
    case FaultKind::Drop: DropConnection(request); return false;
    case FaultKind::HttpError: Reply(response, fault.httpStatus, fault.body); return false;
    case FaultKind::MalformedJson: Reply(response, 200, R"({"requestedBy":"YJLQTEQR","sdcDateTime":)"); return false;
    case FaultKind::EmptyBody: Reply(response, 200, ""); return false;
    case FaultKind::StatusOverride:
    case FaultKind::PinAnswer: return true;  // used by the status and PIN answers
    case FaultKind::SignThenDelay:
    case FaultKind::SignThenDrop:
    case FaultKind::SignThenTruncate:
    case FaultKind::SignThenError: return true;  // used on the finished answer (LoseAnswer)
  }
  return true;
}

// The sign-then faults: the request has been answered as normal (an invoice signed, counted and kept for
// the lookup); now that answer is held back or cut on its way to the client.
void PfrSimulator::Impl::LoseAnswer(const Fault& fault, const httplib::Request& request, httplib::Response& response) {
  switch (fault.kind) {
    case FaultKind::SignThenDelay: WaitUnlessStopping(fault.delayMs); break;
    case FaultKind::SignThenDrop:
      // httplib writes only after the handler and cannot stop half-way, so the half answer goes out here on
      // the connection itself; httplib's own answer then fails on the closed connection. The handler runs
      // on the connection's own thread, so writing through httplib's (const) SSL object cannot race it.
      SendThenClose(const_cast<SSL*>(request.ssl), ConnectionSocket(request),
                    HalfAnswer(response.status, response.get_header_value("Content-Type"), response.body));
      break;
    // httplib sets Content-Length from the body it sends, so the shorter answer is still well-formed.
    case FaultKind::SignThenTruncate: response.body.resize(response.body.size() / 2); break;
    case FaultKind::SignThenError:
      response.status = fault.httpStatus;
      response.set_content(fault.body, "text/html");
      break;
    default: break;
  }
}

void PfrSimulator::Impl::WaitUnlessStopping(int milliseconds) {
  std::unique_lock lock(mutex);
  wakeUp.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return stopping; });
}

int PfrSimulator::Impl::ConnectionSocket(const httplib::Request& request) const {
  int socket = -1;
  if (request.ssl != nullptr) socket = SSL_get_fd(request.ssl);
  if (socket < 0) socket = FindConnectionSocket(port, request.remote_port);
  return socket;
}

void PfrSimulator::Impl::DropConnection(const httplib::Request& request) {
  const int socket = ConnectionSocket(request);
  // Shut down, not closed: httplib still owns the descriptor and closes it after its write fails.
  if (socket >= 0) shutdown(socket, SHUT_RDWR);
}

void PfrSimulator::Impl::QueueFault(const std::string& path, Fault fault) {
  if (fault.count < 1) return;
  std::lock_guard lock(mutex);
  faults[path].push_back(std::move(fault));
}

}  // namespace telvano::pfrsim
