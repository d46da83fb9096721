#include "platform/stop_signals.h"

#include <pthread.h>
#include <sys/signalfd.h>

#include <csignal>

namespace telvano::platform {

namespace {

sigset_t StopSet() {
  sigset_t stopSet;
  sigemptyset(&stopSet);
  sigaddset(&stopSet, SIGINT);
  sigaddset(&stopSet, SIGTERM);
  return stopSet;
}

}  // namespace

int BlockStopSignals() {
  const sigset_t stopSet = StopSet();
  pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
  return ::signalfd(-1, &stopSet, SFD_CLOEXEC | SFD_NONBLOCK);
}

bool StopSignalPending() {
  // Blocked in every thread, a signal sent to the process stays pending until the signalfd reads it.
  sigset_t pending;
  sigemptyset(&pending);
  if (sigpending(&pending) != 0) return false;
  return sigismember(&pending, SIGTERM) == 1 || sigismember(&pending, SIGINT) == 1;
}

}  // namespace telvano::platform
