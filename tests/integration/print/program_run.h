#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace telvano::testing {

struct ProgramResult {
  int exitCode = -1;
  std::string standardError;
};

// Runs `program` with `arguments` (no shell), `extraEnvironment` entries ("KEY=value") added to ours,
// and waits for it to end.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& extraEnvironment = {});

// Waits until `condition` holds, at most `limit`; true when it held.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10));

// A TCP listener on 127.0.0.1 with an ephemeral port that takes one connection and reads it to the end.
class OneShotListener {
 public:
  OneShotListener();
  ~OneShotListener();
  OneShotListener(const OneShotListener&) = delete;
  OneShotListener& operator=(const OneShotListener&) = delete;
  int Port() const { return m_port; }
  // True when a connection is waiting to be accepted now.
  bool ConnectionPending() const;
  // Accepts one connection (waiting at most `limit`) and returns everything it sent.
  std::string Receive(std::chrono::milliseconds limit = std::chrono::seconds(10));

 private:
  int m_fd = -1;
  int m_port = 0;
};

}  // namespace telvano::testing
