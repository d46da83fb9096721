#pragma once

#include <functional>
#include <sys/types.h>

namespace telvano::platform::testing {

// A forked child that runs `body` once the parent says go, tells the parent when `body` is done (ready),
// then waits until the parent lets it finish. No sleeps: both sides wait on pipes.
class ChildProcess {
 public:
  explicit ChildProcess(std::function<void()> body);
  ~ChildProcess();
  void WaitUntilReady();  // body has run in the child
  void Finish();          // child leaves (closing everything it held); waits for it to end

 private:
  pid_t m_pid = -1;
  int m_toChild = -1;
  int m_fromChild = -1;
};

}  // namespace telvano::platform::testing
