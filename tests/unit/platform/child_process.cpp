#include "child_process.h"

#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace telvano::platform::testing {

ChildProcess::ChildProcess(std::function<void()> body) {
  int down[2], up[2];
  if (pipe(down) != 0 || pipe(up) != 0) throw std::runtime_error("pipe");
  m_pid = fork();
  if (m_pid < 0) throw std::runtime_error("fork");
  if (m_pid == 0) {
    close(down[1]);
    close(up[0]);
    body();
    char signal = 'r';
    if (write(up[1], &signal, 1) != 1) _exit(2);
    (void)!read(down[0], &signal, 1);  // until the parent writes or closes
    _exit(0);
  }
  close(down[0]);
  close(up[1]);
  m_toChild = down[1];
  m_fromChild = up[0];
}

ChildProcess::~ChildProcess() { Finish(); }

void ChildProcess::WaitUntilReady() {
  char signal;
  if (read(m_fromChild, &signal, 1) != 1) throw std::runtime_error("the child ended early");
}

void ChildProcess::Finish() {
  if (m_pid <= 0) return;
  close(m_toChild);
  close(m_fromChild);
  int status = 0;
  waitpid(m_pid, &status, 0);
  m_pid = -1;
}

}  // namespace telvano::platform::testing
