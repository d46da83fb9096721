#include "scripted_processor.h"

#include <chrono>

namespace telvano::testing {

ScriptedProcessor::ScriptedProcessor() {
  m_server.set_tcp_nodelay(true);
  auto handler = [this](const httplib::Request& request, httplib::Response& response) { Handle(request, response); };
  m_server.Get(".*", handler);
  m_server.Post(".*", handler);
  m_port = m_server.bind_to_any_port("127.0.0.1");
  m_thread = std::thread([this] { m_server.listen_after_bind(); });
  // stop() only ends a server that is already listening.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!m_server.is_running() && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
}

ScriptedProcessor::~ScriptedProcessor() {
  m_server.stop();
  m_thread.join();
}

void ScriptedProcessor::Answer(const std::string& path, int status, const std::string& body) {
  std::lock_guard lock(m_mutex);
  m_answers[path] = {status, body};
}

std::string ScriptedProcessor::LastPac() const {
  std::lock_guard lock(m_mutex);
  return m_lastPac;
}

std::string ScriptedProcessor::LastBody() const {
  std::lock_guard lock(m_mutex);
  return m_lastBody;
}

int ScriptedProcessor::RequestCount() const {
  std::lock_guard lock(m_mutex);
  return m_requestCount;
}

void ScriptedProcessor::Handle(const httplib::Request& request, httplib::Response& response) {
  std::lock_guard lock(m_mutex);
  ++m_requestCount;
  m_lastPac = request.get_header_value("PAC");
  m_lastBody = request.body;
  const auto found = m_answers.find(request.path);
  if (found == m_answers.end()) {
    response.status = 404;
    return;
  }
  response.status = found->second.first;
  response.set_content(found->second.second, "application/json");
}

}  // namespace telvano::testing
