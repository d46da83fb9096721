#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace telvano::app {

// Answers a processor request that blocks the one thread whether the program is asked to end: a stop
// signal waits (SIGTERM, Ctrl-C), or a command file with STOP-TELVANO waits in the input folder. The folder
// is looked into at most twice a second, and only while the poller runs (a command file left from before
// is answered by the poller after a start that went as usual); the signal is asked every time.
class StopRequest {
 public:
  using SignalTest = std::function<bool()>;
  StopRequest(std::string inputDir, std::string codePage, SignalTest signalPending, SignalTest pollerRunning);

  bool operator()();

 private:
  bool StopCommandWaiting() const;

  std::string m_inputDir;
  std::string m_codePage;
  SignalTest m_signalPending;
  SignalTest m_pollerRunning;
  std::chrono::steady_clock::time_point m_nextLook{};
  bool m_stopCommandSeen = false;
};

// True when the command file at `path` (a regular file, read without following a link) has a STOP-TELVANO
// line.
bool AsksToStop(const std::string& path, const std::string& codePage);

}  // namespace telvano::app
