// Faults on demand: each kind, counts, the wildcard path, and the control endpoint over HTTP.
#include <gtest/gtest.h>

#include <chrono>

#include "sim_client.h"
#include "support/pfr_sim_fixture.h"

namespace telvano::testing {
namespace {

using pfrsim::Fault;
using pfrsim::SimOptions;

class PfrSimFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    SimOptions options;
    options.pinEntered = true;
    options.control = true;
    simulator = StartLpfrSimulator(options);
    client = LpfrClient(*simulator);
  }
  std::unique_ptr<pfrsim::PfrSimulator> simulator;
  SimClient client;
};

TEST_F(PfrSimFaults, DelayAnswersLateButNormally) {
  simulator->QueueFault("/api/v3/attention", Fault::Delayed(300));
  const auto start = std::chrono::steady_clock::now();
  const auto reply = client.Get("/api/v3/attention");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(reply.status, 200);
}

TEST_F(PfrSimFaults, DropClosesWithoutAnswerAndSignsNothing) {
  simulator->QueueFault("/api/v3/invoices", Fault::Dropped());
  const auto dropped = client.Post("/api/v3/invoices", OneItemInvoice().dump());
  EXPECT_FALSE(dropped.answered);
  EXPECT_EQ(simulator->TotalCounter(), 0u);
  EXPECT_EQ(simulator->RequestCount("/api/v3/invoices"), 1u);  // it did arrive
  const auto next = client.Post("/api/v3/invoices", OneItemInvoice().dump());
  EXPECT_EQ(next.status, 200);
  EXPECT_EQ(simulator->TotalCounter(), 1u);
}

TEST_F(PfrSimFaults, ErrorMalformedAndEmptyAnswers) {
  simulator->QueueFault("/api/v3/status", Fault::Error(500, "{\"message\":\"boom\"}"));
  simulator->QueueFault("/api/v3/status", Fault::Malformed());
  simulator->QueueFault("/api/v3/status", Fault::Empty());
  const auto error = client.Get("/api/v3/status");
  EXPECT_EQ(error.status, 500);
  EXPECT_EQ(error.body, "{\"message\":\"boom\"}");
  const auto malformed = client.Get("/api/v3/status");
  EXPECT_EQ(malformed.status, 200);
  EXPECT_TRUE(nlohmann::json::parse(malformed.body, nullptr, false).is_discarded());
  const auto empty = client.Get("/api/v3/status");
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.body, "");
  EXPECT_EQ(ParseJson(client.Get("/api/v3/status").body)["uid"], "YJLQTEQR");  // faults used up
}

TEST_F(PfrSimFaults, StatusWithChosenCodesOrAnotherUidForAsManyRequestsAsAsked) {
  simulator->QueueFault("/api/v3/status", Fault::Status(std::vector<std::string>{"2100", "1300"}, "OTHERUID", 2));
  for (int i = 0; i < 2; ++i) {
    const auto status = ParseJson(client.Get("/api/v3/status").body);
    EXPECT_EQ(status["gsc"], nlohmann::json({"2100", "1300"}));
    EXPECT_EQ(status["uid"], "OTHERUID");
  }
  EXPECT_EQ(ParseJson(client.Get("/api/v3/status").body)["uid"], "YJLQTEQR");

  simulator->SetGsc({"1300"});
  EXPECT_EQ(ParseJson(client.Get("/api/v3/status").body)["gsc"], nlohmann::json({"1300"}));
  const auto refused = client.Post("/api/v3/invoices", OneItemInvoice().dump());  // no card: nothing signed
  EXPECT_EQ(refused.status, 400);
  EXPECT_NE(refused.body.find("\"1300\""), std::string::npos);
  simulator->ClearGsc();
  EXPECT_EQ(ParseJson(client.Get("/api/v3/status").body)["gsc"], nlohmann::json({"0000", "0210"}));
}

TEST_F(PfrSimFaults, ChosenPinAnswer) {
  simulator->QueueFault("/api/v3/pin", Fault::Pin("2100", 423));
  const auto bare = client.Post("/api/v3/pin", "1234");
  EXPECT_EQ(bare.status, 423);
  EXPECT_EQ(bare.body, "2100");
  EXPECT_EQ(client.Post("/api/v3/pin", "1234").body, "\"0100\"");
}

TEST_F(PfrSimFaults, WildcardPathAndClearing) {
  simulator->QueueFault("*", Fault::Error(503, "busy", 2));
  EXPECT_EQ(client.Get("/api/v3/attention").status, 503);
  EXPECT_EQ(client.Get("/api/v3/status").status, 503);
  EXPECT_EQ(client.Get("/api/v3/status").status, 200);
  simulator->QueueFault("/api/v3/attention", Fault::Error(500, ""));
  simulator->ClearFaults();
  EXPECT_EQ(client.Get("/api/v3/attention").status, 200);
}

TEST_F(PfrSimFaults, ControlEndpointQueuesFaultsAndReturnsTheLog) {
  const auto queued = client.Post("/control/faults", R"({"path":"/api/v3/attention","kind":"error","status":502,"body":"x"})");
  ASSERT_EQ(queued.status, 200) << queued.body;
  EXPECT_EQ(client.Get("/api/v3/attention").status, 502);
  ASSERT_EQ(client.Post("/control/faults", R"({"path":"/api/v3/status","kind":"status","gsc":["2400"]})").status, 200);
  EXPECT_EQ(ParseJson(client.Get("/api/v3/status").body)["gsc"], nlohmann::json({"2400"}));
  EXPECT_EQ(client.Post("/control/faults", R"({"path":"/x","kind":"nonsense"})").status, 400);

  SimClient withId = client;
  withId.extraHeaders = {{"RequestId", "r-1"}};
  withId.Post("/api/v3/pin", "1234");
  const auto log = ParseJson(client.Get("/control/requests").body);
  ASSERT_EQ(log.size(), 3u);  // control requests are not logged
  const auto& pin = log[2];
  EXPECT_EQ(pin["method"], "POST");
  EXPECT_EQ(pin["path"], "/api/v3/pin");
  EXPECT_EQ(pin["body"], "1234");
  EXPECT_EQ(pin["bodyBase64"], "MTIzNA==");
  bool sawRequestId = false;
  for (const auto& header : pin["headers"]) sawRequestId |= header[0] == "RequestId" && header[1] == "r-1";
  EXPECT_TRUE(sawRequestId);

  ASSERT_EQ(client.Get("/control/state").status, 200);
  EXPECT_EQ(ParseJson(client.Get("/control/state").body)["pinEntered"], true);
}

TEST(PfrSimControl, ControlEndpointIsAbsentUnlessAskedFor) {
  auto simulator = StartLpfrSimulator();
  EXPECT_EQ(LpfrClient(*simulator).Get("/control/requests").status, 404);
}

TEST(PfrSimControl, StopCutsAQueuedDelayShort) {
  auto simulator = StartLpfrSimulator();
  simulator->QueueFault("/api/v3/attention", Fault::Delayed(60'000));
  const SimClient client = LpfrClient(*simulator);
  std::thread waiting([&client] { client.Get("/api/v3/attention"); });
  while (simulator->RequestCount("/api/v3/attention") == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const auto start = std::chrono::steady_clock::now();
  simulator->Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  waiting.join();
}

}  // namespace
}  // namespace telvano::testing
