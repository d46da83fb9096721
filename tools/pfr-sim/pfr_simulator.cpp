#include "pfr_simulator.h"

#include <pthread.h>
#include <signal.h>

#include <stdexcept>

#include "sim_server.h"
#include "text_layout.h"

namespace telvano::pfrsim {

std::optional<std::string> LoggedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (ToLowerAscii(key) == ToLowerAscii(name)) return value;
  }
  return std::nullopt;
}

PfrSimulator::PfrSimulator(SimOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {}

PfrSimulator::~PfrSimulator() { Stop(); }

void PfrSimulator::Start() {
  Impl& impl = *m_impl;
  if (impl.server) throw std::runtime_error("the simulator is already running");
  impl.CreateServer();
  const int port = impl.options.port == 0
                       ? impl.server->bind_to_any_port(impl.options.host)
                       : (impl.server->bind_to_port(impl.options.host, impl.options.port) ? impl.options.port : -1);
  if (port <= 0) {
    impl.server.reset();
    throw std::runtime_error("cannot listen on " + impl.options.host + ":" + std::to_string(impl.options.port));
  }
  impl.port = port;
  impl.listenReturned = false;
  // Wait for connections in short select() rounds rather than one blocking accept(): the accept loop then
  // re-reads its socket after every round, so a stop that closes the socket can never leave it blocked in
  // accept() on a closed (or meanwhile reused) descriptor.
  impl.server->set_idle_interval(0, 50000);
  {
    std::lock_guard lock(impl.mutex);
    impl.stopping = false;
  }
  impl.listener = std::thread([&impl] {
    // A client that hangs up must not end the process: writes then fail with EPIPE instead of raising SIGPIPE.
    // The server's worker threads are started from here and inherit this mask.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    impl.server->listen_after_bind();
    impl.listenReturned = true;
  });
  // stop() only reaches a server that is already in its accept loop: wait for it, or a Stop() right after
  // Start() would leave the loop running for ever.
  while (!impl.server->is_running() && !impl.listenReturned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void PfrSimulator::Stop() {
  Impl& impl = *m_impl;
  if (!impl.server) return;
  {
    std::lock_guard lock(impl.mutex);
    impl.stopping = true;
  }
  impl.wakeUp.notify_all();
  impl.server->stop();
  if (impl.listener.joinable()) impl.listener.join();
  impl.server.reset();
}

std::string PfrSimulator::BaseUrl() const {
  return std::string(m_impl->options.mode == Mode::Lpfr ? "http://" : "https://") + m_impl->options.host + ":" +
         std::to_string(m_impl->port);
}

int PfrSimulator::Port() const { return m_impl->port; }
const SimOptions& PfrSimulator::Options() const { return m_impl->options; }

void PfrSimulator::QueueFault(const std::string& path, Fault fault) { m_impl->QueueFault(path, std::move(fault)); }

void PfrSimulator::ClearFaults() {
  std::lock_guard lock(m_impl->mutex);
  m_impl->faults.clear();
}

std::vector<LoggedRequest> PfrSimulator::Requests() const {
  std::lock_guard lock(m_impl->mutex);
  return {m_impl->log.begin(), m_impl->log.end()};
}

void PfrSimulator::ClearRequests() {
  std::lock_guard lock(m_impl->mutex);
  m_impl->log.clear();
  m_impl->requestCounts.clear();
}

std::size_t PfrSimulator::RequestCount(const std::string& path) const {
  std::lock_guard lock(m_impl->mutex);
  const auto found = m_impl->requestCounts.find(path);
  return found == m_impl->requestCounts.end() ? 0 : found->second;
}

void PfrSimulator::SetGsc(std::vector<std::string> gsc) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->gscOverride = std::move(gsc);
}

void PfrSimulator::ClearGsc() {
  std::lock_guard lock(m_impl->mutex);
  m_impl->gscOverride.reset();
}

bool PfrSimulator::PinEntered() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->pinEntered;
}

void PfrSimulator::SetPinEntered(bool entered) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->pinEntered = entered;
}

int PfrSimulator::WrongPinCount() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->wrongPins;
}

bool PfrSimulator::CardLocked() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->Locked();
}

std::uint32_t PfrSimulator::TotalCounter() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->state.TotalCounter();
}

std::uint32_t PfrSimulator::TransactionTypeCounter(const std::string& extension) const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->state.TypeCounter(extension);
}

void PfrSimulator::SetCounters(std::uint32_t total, std::map<std::string, std::uint32_t> byExtension) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->state.SetCounters(total, std::move(byExtension));
  m_impl->state.Save();
}

std::string PfrSimulator::LastInvoiceNumber() const {
  std::lock_guard lock(m_impl->mutex);
  return m_impl->state.LastInvoiceNumber();
}

std::optional<std::string> PfrSimulator::AnswerFor(const std::string& requestId) const {
  std::lock_guard lock(m_impl->mutex);
  const std::string* answer = m_impl->state.AnswerFor(requestId);
  return answer != nullptr ? std::optional<std::string>(*answer) : std::nullopt;
}

void PfrSimulator::SetLookupAvailable(bool available) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->lookupAvailable = available;
}

void PfrSimulator::SetTime(std::optional<std::chrono::system_clock::time_point> when) {
  std::lock_guard lock(m_impl->mutex);
  m_impl->fixedTime = when;
}

}  // namespace telvano::pfrsim
