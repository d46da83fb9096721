#include "scripted_processor.h"

#include <chrono>
#include <filesystem>

#include "test_certificate.h"

namespace telvano::testing {

namespace {

int Listen(httplib::Server& server, std::thread& thread, const httplib::Server::Handler& handler) {
  server.set_tcp_nodelay(true);
  server.Get(".*", handler);
  server.Post(".*", handler);
  const int port = server.bind_to_any_port("127.0.0.1");
  thread = std::thread([&server] { server.listen_after_bind(); });
  // stop() only ends a server that is already listening.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!server.is_running() && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
  return port;
}

}  // namespace

ScriptedProcessor::ScriptedProcessor() {
  const TestCertificate certificate = MakeSelfSignedCertificate("127.0.0.1", "127.0.0.1");
  WriteFileBytes(m_files.Path() / "server.pem", certificate.certificatePem);
  WriteFileBytes(m_files.Path() / "server.key", certificate.keyPem);
  m_tlsServer = std::make_unique<httplib::SSLServer>(CaFile().c_str(), (m_files.Path() / "server.key").c_str());
  auto handler = [this](const httplib::Request& request, httplib::Response& response) { Handle(request, response); };
  m_port = Listen(m_server, m_thread, handler);
  m_tlsPort = Listen(*m_tlsServer, m_tlsThread, handler);
}

ScriptedProcessor::~ScriptedProcessor() {
  m_server.stop();
  m_tlsServer->stop();
  m_thread.join();
  m_tlsThread.join();
}

void ScriptedProcessor::WriteClientFiles(const std::string& certificateDir, const std::string& serial) const {
  const TestCertificate client = MakeSelfSignedCertificate(serial);
  std::filesystem::create_directories(certificateDir);
  WriteFileBytes(std::filesystem::path(certificateDir) / (serial + "_cert.pem"), client.certificatePem);
  WriteFileBytes(std::filesystem::path(certificateDir) / (serial + "_key.pem"), client.keyPem);
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
