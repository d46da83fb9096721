#include "api/api_queue.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace telvano::api {

struct ApiQueue::Ticket::Slot {
  ApiRequest request;
  State state = State::Queued;
  ApiAnswer answer;
};

const ApiRequest& ApiQueue::Ticket::Request() const { return m_slot->request; }

ApiQueue::ApiQueue() : m_wakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (m_wakeFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

ApiQueue::~ApiQueue() {
  Close();
  ::close(m_wakeFd);
}

ApiQueue::Waited ApiQueue::Submit(ApiRequest request, std::chrono::milliseconds bound) {
  auto slot = std::make_shared<Ticket::Slot>();
  slot->request = std::move(request);
  slot->request.arrived = std::chrono::steady_clock::now();
  std::unique_lock lock(m_mutex);
  if (m_closed) return {};
  m_waiting.push_back(slot);
  const std::uint64_t one = 1;
  (void)!::write(m_wakeFd, &one, sizeof one);
  m_changed.wait_for(lock, bound, [&] { return slot->state == State::Answered || slot->state == State::Withdrawn; });
  if (slot->state == State::Answered) return {std::move(slot->answer), true};
  if (slot->state == State::Queued) slot->state = State::Withdrawn;  // Take() passes it by
  return {std::nullopt, slot->state == State::Taken};
}

std::optional<ApiQueue::Ticket> ApiQueue::Take() {
  std::lock_guard lock(m_mutex);
  while (!m_waiting.empty()) {
    std::shared_ptr<Ticket::Slot> slot = std::move(m_waiting.front());
    m_waiting.pop_front();
    if (slot->state != State::Queued || m_closed) continue;
    slot->state = State::Taken;
    return Ticket(std::move(slot));
  }
  return std::nullopt;
}

void ApiQueue::Answer(const Ticket& ticket, ApiAnswer answer) {
  {
    std::lock_guard lock(m_mutex);
    ticket.m_slot->answer = std::move(answer);
    ticket.m_slot->state = State::Answered;
  }
  m_changed.notify_all();
}

void ApiQueue::ClearWake() {
  std::uint64_t count = 0;
  (void)!::read(m_wakeFd, &count, sizeof count);
}

bool ApiQueue::WaitForRequest(std::chrono::milliseconds limit) {
  {
    std::lock_guard lock(m_mutex);
    for (const auto& slot : m_waiting) {
      if (slot->state == State::Queued) return true;
    }
  }
  pollfd entry{m_wakeFd, POLLIN, 0};
  const int got = ::poll(&entry, 1, static_cast<int>(limit.count()));
  return got > 0;
}

void ApiQueue::Close() {
  {
    std::lock_guard lock(m_mutex);
    m_closed = true;
    for (const auto& slot : m_waiting) {
      if (slot->state == State::Queued) slot->state = State::Withdrawn;
    }
    m_waiting.clear();
  }
  m_changed.notify_all();
}

}  // namespace telvano::api
