#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace telvano::api {

// One request as the server thread hands it to the program's thread, already checked and parsed.
struct ApiRequest {
  enum class Kind { PostInvoice, GetInvoice, PostCommand };
  Kind kind = Kind::GetInvoice;
  std::string key;   // the idempotency key (invoices)
  std::string name;  // the file name the body gives
  std::string text;  // the file's text
  std::chrono::steady_clock::time_point arrived{};  // set when it is handed over
};

// The answer to one request: status, JSON body and extra headers.
struct ApiAnswer {
  int status = 500;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

// The hand-over between the server's threads and the program's one thread. A server thread submits a request
// and waits for its answer with a bound; the program's thread takes the requests one at a time, oldest
// first, and answers each. A request not taken within the bound is withdrawn (nothing of it was done); one
// taken but not answered in time runs on, and its outcome is kept by whoever handles it.
class ApiQueue {
 public:
  ApiQueue();
  ~ApiQueue();
  ApiQueue(const ApiQueue&) = delete;
  ApiQueue& operator=(const ApiQueue&) = delete;

  // Readable while requests wait: the program's event loop watches it.
  int WakeFd() const { return m_wakeFd; }

  struct Waited {
    std::optional<ApiAnswer> answer;  // none: not answered within the bound
    bool taken = false;               // the program's thread had begun with it
  };
  Waited Submit(ApiRequest request, std::chrono::milliseconds bound);

  class Ticket {
   public:
    const ApiRequest& Request() const;

   private:
    friend class ApiQueue;
    struct Slot;
    explicit Ticket(std::shared_ptr<Slot> slot) : m_slot(std::move(slot)) {}
    std::shared_ptr<Slot> m_slot;
  };
  // The oldest request still waiting, marked as taken; nothing when none waits.
  std::optional<Ticket> Take();
  void Answer(const Ticket& ticket, ApiAnswer answer);

  // Empties the wake-up counter (the caller then takes what waits).
  void ClearWake();
  // Waits up to `limit` for a request to arrive; true when one waits.
  bool WaitForRequest(std::chrono::milliseconds limit);
  // From now on nothing is taken: waiting requests are withdrawn, and new ones are refused at once.
  void Close();

 private:
  enum class State { Queued, Taken, Withdrawn, Answered };

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<std::shared_ptr<Ticket::Slot>> m_waiting;
  bool m_closed = false;
  int m_wakeFd = -1;
};

}  // namespace telvano::api
