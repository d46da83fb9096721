#pragma once

// The state behind PfrSimulator and the parts of its server, shared by pfr_simulator.cpp (the public
// class), sim_server.cpp (listening, logging and routing each request), sim_answers.cpp (the /api/v3
// answers), sim_faults.cpp (the misbehaviour queued by tests) and sim_control.cpp (the /control/ endpoint).
// Only this library's translation units include it, so httplib.h is seen with one set of definitions.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "invoice_request.h"
#include "pfr_simulator.h"
#include "sim_state.h"
#include "sim_time.h"
#include "tax_rate_table.h"

namespace telvano::pfrsim {

inline constexpr const char* kJson = "application/json; charset=utf-8";
inline const std::vector<std::string> kSupportedLanguages = {"sr-Cyrl-RS", "en-US"};

// {"message":"Bad Request","modelState":[{"property":…,"errors":[…]}]}, one entry per property.
std::string ModelStateBody(const std::vector<ModelError>& errors, const std::string& message = "Bad Request");
std::string MessageBody(const std::string& message);

struct PfrSimulator::Impl {
  explicit Impl(SimOptions givenOptions);

  const SimOptions options;
  const SimTime time;
  const TaxRateTable taxes;

  std::unique_ptr<httplib::Server> server;
  std::thread listener;
  std::atomic<bool> listenReturned = false;
  int port = -1;

  mutable std::mutex mutex;  // guards everything below
  std::condition_variable wakeUp;
  bool stopping = false;
  SimState state;
  bool pinEntered;
  int wrongPins = 0;
  bool lookupAvailable;
  std::optional<std::vector<std::string>> gscOverride;
  std::optional<TimePoint> fixedTime;
  std::map<std::string, std::deque<Fault>> faults;
  std::deque<LoggedRequest> log;
  std::map<std::string, std::size_t> requestCounts;

  bool Locked() const { return wrongPins >= 5; }

  TimePoint Now() const { return fixedTime.value_or(std::chrono::system_clock::now()); }

  static void Reply(httplib::Response& response, int status, const std::string& body) {
    response.status = status;
    response.set_content(body, kJson);
  }

  // sim_server.cpp
  void CreateServer();
  void Dispatch(const httplib::Request& request, httplib::Response& response);
  // Logs the request and takes the next fault queued for its path.
  std::optional<Fault> Record(const httplib::Request& request);
  void Route(const httplib::Request& request, httplib::Response& response, const std::optional<Fault>& fault);

  // sim_answers.cpp
  std::string VerificationBase() const;
  std::vector<std::string> CurrentGsc() const;
  std::string StatusBody(const std::optional<Fault>& fault) const;
  std::string EnvironmentBody() const;
  void AnswerPin(std::string pin, httplib::Response& response, const std::optional<Fault>& fault);
  // The first code that keeps this processor from signing, or empty.
  std::string RefusalCode() const;
  void AnswerInvoice(const httplib::Request& request, httplib::Response& response);

  // sim_faults.cpp
  // False when the fault has answered (or dropped) the request.
  bool ApplyFault(const Fault& fault, const httplib::Request& request, httplib::Response& response);
  void LoseAnswer(const Fault& fault, const httplib::Request& request, httplib::Response& response);
  // Stop() wakes the wait, so a long delay never holds up stopping.
  void WaitUnlessStopping(int milliseconds);
  // The server side of the request's connection, or -1.
  int ConnectionSocket(const httplib::Request& request) const;
  void DropConnection(const httplib::Request& request);
  void QueueFault(const std::string& path, Fault fault);

  // sim_control.cpp
  void HandleControl(const httplib::Request& request, httplib::Response& response);
};

}  // namespace telvano::pfrsim
