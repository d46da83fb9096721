#include "api_e2e_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <thread>

#include "support/temp_dir.h"

namespace telvano::testing {

using namespace std::chrono_literals;

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

std::string FileBody(const std::string& name, const std::string& csv) {
  return nlohmann::json{{"name", name}, {"csv", csv}}.dump();
}

ApiInstallation::ApiInstallation(E2eInstallation& installation)
    : m_installation(installation), m_port(FreeLoopbackPort()) {
  const auto token = installation.Root() / "api_token";
  WriteFileBytes(token, std::string(kToken) + "\n");
  ::chmod(token.c_str(), 0600);
  installation.AddConfiguration("ApiListen", "127.0.0.1:" + std::to_string(m_port));
  installation.AddConfiguration("ApiTokenFile", token.string());
  installation.AddConfiguration("ApiOrigins", kOrigin);
}

std::unique_ptr<httplib::Client> ApiInstallation::Client(const std::string& token, const std::string& origin) const {
  auto client = std::make_unique<httplib::Client>("127.0.0.1", m_port);
  client->set_read_timeout(60, 0);
  client->set_tcp_nodelay(true);  // as curl and browsers do: no wait for a delayed acknowledgement
  httplib::Headers headers;
  if (!token.empty()) headers.emplace("Authorization", "Bearer " + token);
  if (!origin.empty()) headers.emplace("Origin", origin);
  client->set_default_headers(headers);
  return client;
}

httplib::Result ApiInstallation::PostInvoice(const std::string& key, const std::string& name,
                                             const std::string& csv) const {
  return Client()->Post("/v1/invoices", {{"Idempotency-Key", key}}, FileBody(name, csv), "application/json");
}

httplib::Result ApiInstallation::GetInvoice(const std::string& key) const {
  return Client()->Get(("/v1/invoices/" + key).c_str());
}

bool ApiInstallation::WaitUntilListening() const {
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (auto result = Client()->Get("/v1/status"); result && result->status == 200) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

}  // namespace telvano::testing

namespace telvano::testing {

namespace {

std::unique_ptr<pfrsim::PfrSimulator> StartedSimulator() {
  pfrsim::SimOptions options;
  options.uid = ApiShop::kUid;
  auto sim = std::make_unique<pfrsim::PfrSimulator>(options);
  sim->Start();
  return sim;
}

}  // namespace

ApiShop::ApiShop() : sim(StartedSimulator()) { installation.AddCertificate({kUid, sim->BaseUrl()}); }

ApiShop::~ApiShop() {
  if (installation.Running()) Stop();
}

std::string ApiShop::Start() {
  installation.Start({E2eInstallation::kSoftKey, "1234", kUid});
  const std::string started = installation.WaitForStartInfo(60s);
  if (started.rfind("OK,", 0) != 0) return "the start failed: " + started + "\n" + installation.StderrText();
  if (!api.WaitUntilListening()) return "the API does not answer\n" + installation.Log();
  return {};
}

int ApiShop::Stop() {
  installation.Drop("CMD_ZZZZ.csv", "STOP-TELVANO,\r\n");
  return installation.WaitForExit(30s);
}

}  // namespace telvano::testing
