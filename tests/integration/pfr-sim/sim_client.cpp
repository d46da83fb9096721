#include "sim_client.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "support/temp_dir.h"

extern char** environ;

namespace telvano::testing {

namespace {

httplib::Headers HeadersFor(const SimClient& client) {
  httplib::Headers headers = {{"Accept", "application/json"}, {"Accept-Language", "sr-Cyrl-RS"}};
  if (!client.pac.empty()) headers.emplace("PAC", client.pac);
  for (const auto& [name, value] : client.extraHeaders) {
    headers.erase(name);  // an extra header replaces the default of that name
    headers.emplace(name, value);
  }
  return headers;
}

std::unique_ptr<httplib::Client> Connect(const SimClient& client) {
  auto connection = client.clientCert.empty()
                        ? std::make_unique<httplib::Client>(client.baseUrl)
                        : std::make_unique<httplib::Client>(client.baseUrl, client.clientCert, client.clientKey);
  connection->enable_server_certificate_verification(false);
  connection->set_keep_alive(false);
  connection->set_connection_timeout(5);
  connection->set_read_timeout(10);
  return connection;
}

std::size_t AppendToString(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

SimReply ToReply(const httplib::Result& result) {
  SimReply reply;
  if (!result) return reply;
  reply.answered = true;
  reply.status = result->status;
  reply.body = result->body;
  return reply;
}

}  // namespace

SimReply SimClient::Get(const std::string& path) const { return ToReply(Connect(*this)->Get(path, HeadersFor(*this))); }

SimReply SimClient::Post(const std::string& path, const std::string& body) const {
  return ToReply(Connect(*this)->Post(path, HeadersFor(*this), body, "application/json"));
}

SimClient LpfrClient(const pfrsim::PfrSimulator& simulator) { return SimClient{simulator.BaseUrl(), {}, {}, {}, {}}; }

CurlReply CurlRequest(const SimClient& client, const std::string& method, const std::string& path,
                      const std::string& body, long timeoutMs) {
  CURL* curl = curl_easy_init();
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
  for (const auto& [name, value] : HeadersFor(client)) {
    headers = curl_slist_append(headers, (name + ": " + value).c_str());
  }
  CurlReply reply;
  curl_easy_setopt(curl, CURLOPT_URL, (client.baseUrl + path).c_str());
  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
  if (!body.empty()) curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeoutMs);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  if (!client.clientCert.empty()) {
    curl_easy_setopt(curl, CURLOPT_SSLCERT, client.clientCert.c_str());
    curl_easy_setopt(curl, CURLOPT_SSLKEY, client.clientKey.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  }
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendToString);
  reply.code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return reply;
}

std::string ReadDataFile(const std::string& name) {
  std::ifstream in(std::string(PFRSIM_TEST_DATA) + "/" + name, std::ios::binary);
  if (!in) throw std::runtime_error("missing test data " + name);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

nlohmann::json ParseJson(const std::string& text) {
  auto value = nlohmann::json::parse(text, nullptr, false);
  EXPECT_FALSE(value.is_discarded()) << "not JSON: " << text.substr(0, 200);
  return value;
}

nlohmann::ordered_json OneItemInvoice(const std::string& label, double unitPrice, double quantity, double total) {
  nlohmann::ordered_json item = {{"name", "Хлеб"},      {"quantity", quantity}, {"uom", "kom"},
                                 {"unitPrice", unitPrice}, {"labels", {label}},    {"totalAmount", total}};
  nlohmann::ordered_json invoice;
  invoice["cashier"] = "Касир 1";
  invoice["invoiceType"] = "Normal";
  invoice["transactionType"] = "Sale";
  invoice["payment"] = {{{"amount", total}, {"paymentType", "Cash"}}};
  invoice["items"] = {item};
  return invoice;
}

std::optional<std::string> DecodeQrWithZbar(const std::string& gifBytes) {
  const char* const kZbar = "/usr/bin/zbarimg";
  if (access(kZbar, X_OK) != 0) return std::nullopt;
  TempDir folder;
  const std::string image = folder / "qr.gif";
  const std::string output = folder / "out.txt";
  WriteFileBytes(image, gifBytes);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> arguments = {kZbar, "--quiet", "--raw", image};
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, kZbar, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;
  int status = 0;
  waitpid(pid, &status, 0);
  std::string decoded = ReadFileBytes(output);
  while (!decoded.empty() && (decoded.back() == '\n' || decoded.back() == '\r')) decoded.pop_back();
  return decoded;
}

}  // namespace telvano::testing
