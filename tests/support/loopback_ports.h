#pragma once

namespace telvano::testing {

// A port of 127.0.0.1 on which nobody listens: bound once, then released.
int ClosedLoopbackPort();

// A processor that takes the connection and never answers: the kernel accepts on a listening socket that
// nobody reads from, so a request waits for its time-out.
class SilentListener {
 public:
  explicit SilentListener(int port);
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

 private:
  int m_socket;
};

}  // namespace telvano::testing
