// The real program with its local API against the simulator, as a POS that cannot drop files uses it: many
// clients at once, repeated keys, hostile requests, a crash in the middle of an invoice. Every invoice is
// signed once, answered the same under its key ever after, and nothing of it appears in the exchange folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "api_e2e_support.h"
#include "pfr-sim/pfr_simulator.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Json = nlohmann::json;

constexpr const char* kUid = ApiShop::kUid;
constexpr const char* kPin = "1234";

class ApiE2eTest : public ::testing::Test {
 protected:
  void StartProgram() {
    const std::string problem = shop.Start();
    ASSERT_EQ(problem, "");
  }

  std::vector<std::string> ProcessorItems() const {
    std::vector<std::string> items;
    for (const auto& request : sim->Requests()) {
      if (request.path == "/api/v3/invoices" && request.method == "POST") {
        items.push_back(Json::parse(request.body)["items"][0]["name"]);
      }
    }
    return items;
  }

  // Nothing the API handled is in the POS's exchange folder.
  void ExpectExchangeUntouched() const {
    for (const fs::path& folder : {installation.Input(), installation.Archive()}) {
      EXPECT_TRUE(fs::is_empty(folder)) << folder;
    }
    for (const auto& entry : fs::directory_iterator(installation.Output())) {
      EXPECT_EQ(entry.path().filename(), "start_info.txt");
    }
  }

  ApiShop shop;
  std::unique_ptr<pfrsim::PfrSimulator>& sim = shop.sim;
  E2eInstallation& installation = shop.installation;
  ApiInstallation& api = shop.api;
};

TEST_F(ApiE2eTest, FiftyClientsAtOnceAreSignedEachOnceInTheOrderTheyCame) {
  installation.AddConfiguration("ApiWaitSeconds", "120");  // every client waits for its own answer
  StartProgram();
  // The first invoice holds the road for three seconds, so the other 49 queue up in the order they arrive.
  sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDelayed(3000));
  std::vector<std::future<httplib::Result>> clients;
  for (int i = 0; i < 50; ++i) {
    const std::string item = "C" + std::to_string(100 + i);
    clients.push_back(std::async(std::launch::async, [this, i, item] {
      return api.PostInvoice("client-" + std::to_string(i), "INV_NS_" + item + ".csv", SampleInvoice(item));
    }));
    std::this_thread::sleep_for(i == 0 ? 300ms : 25ms);
  }
  std::set<std::string> numbers;
  for (auto& client : clients) {
    const httplib::Result result = client.get();
    ASSERT_TRUE(result);
    ASSERT_EQ(result->status, 200) << result->body;
    numbers.insert(Json::parse(result->body)["invoiceNumber"].get<std::string>());
  }
  EXPECT_EQ(numbers.size(), 50u);
  EXPECT_EQ(sim->TotalCounter(), 50u);
  std::vector<std::string> expected;
  for (int i = 0; i < 50; ++i) expected.push_back("C" + std::to_string(100 + i));
  EXPECT_EQ(ProcessorItems(), expected);
  ExpectExchangeUntouched();
}

TEST_F(ApiE2eTest, TheSameKeyTenTimesAtOnceIsOneSignatureAndTenEqualAnswers) {
  StartProgram();
  std::vector<std::future<httplib::Result>> clients;
  for (int i = 0; i < 10; ++i) {
    clients.push_back(std::async(std::launch::async, [this] { return api.PostInvoice("same", "INV_NS_same.csv", SampleInvoice()); }));
  }
  std::set<std::string> bodies;
  for (auto& client : clients) {
    const httplib::Result result = client.get();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200) << result->body;
    bodies.insert(result->body);
  }
  EXPECT_EQ(bodies.size(), 1u);
  EXPECT_EQ(sim->TotalCounter(), 1u);
  // Another body under the used key, later: refused, and nothing is sent.
  const httplib::Result reused = api.PostInvoice("same", "INV_NS_same.csv", SampleInvoice("Čaj"));
  ASSERT_TRUE(reused);
  EXPECT_EQ(reused->status, 409);
  EXPECT_EQ(api.GetInvoice("same")->body, *bodies.begin());
  EXPECT_EQ(sim->TotalCounter(), 1u);
}

TEST_F(ApiE2eTest, RequestsWithoutTheTokenOrFromAnotherOriginAreTurnedAway) {
  StartProgram();
  const std::string body = FileBody("INV_NS_x.csv", SampleInvoice());
  const httplib::Headers key{{"Idempotency-Key", "k"}};
  EXPECT_EQ(api.Client("")->Post("/v1/invoices", key, body, "application/json")->status, 401);
  EXPECT_EQ(api.Client("wrong-token-0123456789abcdef0123")->Post("/v1/invoices", key, body, "application/json")->status, 401);
  EXPECT_EQ(api.Client("")->Get("/metrics")->status, 401);
  const auto foreign = api.Client(ApiInstallation::kToken, "http://evil.example")->Post("/v1/invoices", key, body, "application/json");
  EXPECT_EQ(foreign->status, 403);
  EXPECT_FALSE(foreign->has_header("Access-Control-Allow-Origin"));
  // A preflight needs no token, and only a listed origin is told what it may send.
  const auto preflight = api.Client("", ApiInstallation::kOrigin)->Options("/v1/invoices");
  EXPECT_EQ(preflight->status, 204);
  EXPECT_EQ(preflight->get_header_value("Access-Control-Allow-Origin"), ApiInstallation::kOrigin);
  EXPECT_NE(preflight->get_header_value("Access-Control-Allow-Headers").find("Idempotency-Key"), std::string::npos);
  EXPECT_EQ(api.Client("", "http://evil.example")->Options("/v1/invoices")->status, 403);
  // A listed origin with the token gets its answer and may read it.
  const auto allowed = api.Client(ApiInstallation::kToken, ApiInstallation::kOrigin)->Get("/v1/status");
  EXPECT_EQ(allowed->status, 200);
  EXPECT_EQ(allowed->get_header_value("Access-Control-Allow-Origin"), ApiInstallation::kOrigin);
  // No key, a bad key, a body too large.
  EXPECT_EQ(api.Client()->Post("/v1/invoices", body, "application/json")->status, 400);
  EXPECT_EQ(api.Client()->Post("/v1/invoices", {{"Idempotency-Key", "a b"}}, body, "application/json")->status, 400);
  const std::string huge = FileBody("INV_NS_big.csv", std::string(2 * 1024 * 1024, 'x'));
  EXPECT_EQ(api.Client()->Post("/v1/invoices", key, huge, "application/json")->status, 413);
  EXPECT_EQ(sim->TotalCounter(), 0u);
}

TEST_F(ApiE2eTest, KilledWhileThePostWaitsOnASlowProcessorTheKeyIsSignedOnceAfterTheRestart) {
  installation.AddConfiguration("SdcReadTimeout", "30");  // the crash comes before the time-out
  installation.AddConfiguration("ApiWaitSeconds", "3");
  StartProgram();
  sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDelayed(20000));
  const httplib::Result waiting = api.PostInvoice("slow", "INV_NS_slow.csv", SampleInvoice());
  ASSERT_TRUE(waiting);
  EXPECT_EQ(waiting->status, 202);  // not known within the wait
  EXPECT_EQ(waiting->get_header_value("Location"), "/v1/invoices/slow");
  ASSERT_EQ(sim->TotalCounter(), 1u);
  installation.Signal(SIGKILL);
  installation.WaitForExit(10s);

  StartProgram();  // the start-up asks the processor for the invoice it signed
  const auto deadline = std::chrono::steady_clock::now() + 40s;
  httplib::Result result = api.GetInvoice("slow");
  while (result && result->status == 202 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(200ms);
    result = api.GetInvoice("slow");
  }
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200) << result->body;
  EXPECT_EQ(api.PostInvoice("slow", "INV_NS_slow.csv", SampleInvoice())->body, result->body);
  EXPECT_EQ(sim->TotalCounter(), 1u);
  ExpectExchangeUntouched();
}

TEST_F(ApiE2eTest, FilesAndApiInvoicesShareTheRoadAndKeepTheirOwnFolders) {
  StartProgram();
  installation.Drop("INV_NS_file1.csv", SampleInvoice("File1"));
  const httplib::Result viaApi = api.PostInvoice("mixed", "INV_NS_api1.csv", SampleInvoice("Api1"));
  ASSERT_TRUE(viaApi);
  EXPECT_EQ(viaApi->status, 200);
  ASSERT_TRUE(E2eInstallation::WaitForFile(installation.Output() / "INV_NS_file1_basic.csv", 30s));
  EXPECT_FALSE(fs::exists(installation.Output() / "INV_NS_api1_basic.csv"));
  // A POS file under the name of an API invoice is the road's duplicate, as between two files.
  installation.Drop("INV_NS_api1.csv", SampleInvoice("Api1"));
  ASSERT_TRUE(E2eInstallation::WaitForFile(installation.Output() / "INV_NS_api1_err.txt", 30s));
  EXPECT_NE(ReadFileBytes(installation.Output() / "INV_NS_api1_err.txt").find("Račun je već fiskalizovan!"),
            std::string::npos);
  EXPECT_EQ(sim->TotalCounter(), 2u);
  const Json status = Json::parse(api.Client()->Get("/v1/status")->body);
  EXPECT_EQ(status["countsSinceStart"]["api"]["signed"], 1);
  EXPECT_EQ(status["countsSinceStart"]["file"]["signed"], 1);
  EXPECT_EQ(status["certificate"]["serial"], kUid);
  EXPECT_EQ(status["databaseUp"], true);
  const std::string metrics = api.Client()->Get("/metrics")->body;
  EXPECT_NE(metrics.find("telvano_invoices_total{road=\"api\",outcome=\"signed\"} 1\n"), std::string::npos);
  // A command through the API answers as its file would, and leaves nothing in the exchange folder.
  const auto command = api.Client()->Post("/v1/commands", FileBody("CMD_1.csv", "HELLO-TELVANO,\r\n"), "application/json");
  ASSERT_TRUE(command);
  EXPECT_EQ(Json::parse(command->body)["answer"].get<std::string>().rfind("ACTIVE/AKTIVAN,", 0), 0u) << command->body;
  EXPECT_FALSE(fs::exists(installation.Output() / "CMD_1_resp.txt"));
}

TEST(ApiE2eStart, AnAddressOtherThanLoopbackWithoutACertificateIsRefusedAndTheFilesGoOn) {
  ApiShop shop;
  E2eInstallation& installation = shop.installation;
  installation.AddConfiguration("ApiListen", "0.0.0.0:" + std::to_string(shop.api.Port()));  // the later line counts
  installation.Start({E2eInstallation::kSoftKey, kPin, kUid});
  ASSERT_EQ(installation.WaitForStartInfo().substr(0, 3), "OK,");
  installation.Drop("INV_NS_plain.csv", SampleInvoice());
  ASSERT_TRUE(E2eInstallation::WaitForFile(installation.Output() / "INV_NS_plain_basic.csv", 30s));
  EXPECT_NE(installation.Log().find("is not a loopback address: it needs ApiCertFile and ApiKeyFile"), std::string::npos)
      << installation.Log();
  EXPECT_FALSE(shop.api.Client()->Get("/v1/status"));  // nobody listens
  EXPECT_EQ(shop.Stop(), 0);
}

}  // namespace
}  // namespace telvano::testing
