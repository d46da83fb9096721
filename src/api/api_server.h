#pragma once

#include <memory>

#include "api/api_queue.h"
#include "api/api_settings.h"
#include "api/api_token.h"
#include "api/status_board.h"

namespace telvano::api {

// The most a request body may hold; a larger one is answered 413 before it is read.
inline constexpr std::size_t kMaxBodyBytes = 2u * 1024u * 1024u;

// The HTTP(S) server of the API on its own threads (a bounded pool). It checks every request (origin, token,
// method, headers, body) and hands what passes to the program's thread through `queue`; status and metrics it
// answers from `board` without waiting for the road.
class ApiServer {
 public:
  ApiServer(const ApiSettings& settings, ApiToken token, ApiQueue& queue, const StatusBoard& board);
  ~ApiServer();
  ApiServer(const ApiServer&) = delete;
  ApiServer& operator=(const ApiServer&) = delete;

  // Binds and starts answering; raises ApiSettingsError when the address or the TLS files cannot be used.
  void Start();
  // Stops answering and waits for the requests in progress.
  void Stop();

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

}  // namespace telvano::api
