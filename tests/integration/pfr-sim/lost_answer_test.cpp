// Answers lost after the invoice was signed (the sign-then faults), and the lookup that recovers them.
#include <gtest/gtest.h>

#include "sim_client.h"
#include "support/pfr_sim_fixture.h"

namespace telvano::testing {
namespace {

using pfrsim::Fault;
using pfrsim::Mode;
using pfrsim::SimOptions;

struct LostAnswerCase {
  const char* name;
  Mode mode;
  Fault fault;
  const char* controlKind;  // queued through POST /control/faults with this kind; nullptr: QueueFault
  CURLcode expected;        // how the client's transfer ends
};

void PrintTo(const LostAnswerCase& row, std::ostream* out) { *out << row.name; }

class PfrSimLostAnswer : public ::testing::TestWithParam<LostAnswerCase> {
 protected:
  static void TearDownTestSuite() { pki.reset(); }
  void SetUp() override {
    SimOptions options;
    options.pinEntered = true;
    options.control = true;
    if (GetParam().mode == Mode::Lpfr) {
      simulator = StartLpfrSimulator(options);
      client = LpfrClient(*simulator);
    } else {
      if (!pki) pki = std::make_unique<TestPki>();  // about a second: made once, and only for the VPFR rows
      simulator = StartVpfrSimulator(*pki, options);
      client = SimClient{simulator->BaseUrl(), "ABC123", pki->ClientCert(), pki->ClientKey(), {}};
    }
    client.extraHeaders = {{"RequestId", "lost-1"}};
  }

  static std::unique_ptr<TestPki> pki;
  std::unique_ptr<pfrsim::PfrSimulator> simulator;
  SimClient client;
};

std::unique_ptr<TestPki> PfrSimLostAnswer::pki;

TEST_P(PfrSimLostAnswer, ClientLosesTheSignedAnswerButTheLookupHasIt) {
  const LostAnswerCase& row = GetParam();
  if (row.controlKind == nullptr) {
    simulator->QueueFault("/api/v3/invoices", row.fault);
  } else {
    const nlohmann::json fault = {
        {"path", "/api/v3/invoices"}, {"kind", row.controlKind}, {"delayMs", row.fault.delayMs}};
    ASSERT_EQ(CurlRequest(client, "POST", "/control/faults", fault.dump()).status, 200);
  }
  const CurlReply reply = CurlRequest(client, "POST", "/api/v3/invoices", OneItemInvoice().dump(), 500);
  EXPECT_EQ(reply.code, row.expected) << curl_easy_strerror(reply.code);
  if (row.expected == CURLE_OK) {
    EXPECT_EQ(reply.status, 200);
    EXPECT_TRUE(nlohmann::json::parse(reply.body, nullptr, false).is_discarded()) << reply.body;
  }

  EXPECT_EQ(simulator->TotalCounter(), 1u);
  const SimReply lookup = client.Get("/api/v3/invoices/lost-1");
  ASSERT_EQ(lookup.status, 200);
  EXPECT_EQ(ParseJson(lookup.body)["totalCounter"], 1);
  EXPECT_LT(reply.body.size(), lookup.body.size());
  EXPECT_EQ(lookup.body.rfind(reply.body, 0), 0u);  // what did arrive is the start of the signed answer
}

// The delays are long: the client gives up after 500 ms, and stopping the simulator cuts the wait short.
INSTANTIATE_TEST_SUITE_P(
    Faults, PfrSimLostAnswer,
    ::testing::Values(
        LostAnswerCase{"LpfrDelay", Mode::Lpfr, Fault::SignedThenDelayed(20'000), nullptr,
                       CURLE_OPERATION_TIMEDOUT},
        LostAnswerCase{"LpfrDrop", Mode::Lpfr, Fault::SignedThenDropped(), nullptr, CURLE_PARTIAL_FILE},
        LostAnswerCase{"LpfrTruncate", Mode::Lpfr, Fault::SignedThenTruncated(), nullptr, CURLE_OK},
        LostAnswerCase{"VpfrDelay", Mode::Vpfr, Fault::SignedThenDelayed(20'000), "sign-delay",
                       CURLE_OPERATION_TIMEDOUT},
        LostAnswerCase{"VpfrDrop", Mode::Vpfr, Fault::SignedThenDropped(), "sign-drop", CURLE_PARTIAL_FILE},
        LostAnswerCase{"VpfrTruncate", Mode::Vpfr, Fault::SignedThenTruncated(), "sign-truncate", CURLE_OK}),
    [](const ::testing::TestParamInfo<LostAnswerCase>& info) { return std::string(info.param.name); });

TEST(PfrSimLookup, UnavailableLookupAnswers503InsteadOfTheInvoice) {
  SimOptions options;
  options.pinEntered = true;
  options.control = true;
  auto simulator = StartLpfrSimulator(options);
  SimClient client = LpfrClient(*simulator);
  client.extraHeaders = {{"RequestId", "r-1"}};
  ASSERT_EQ(client.Post("/api/v3/invoices", OneItemInvoice().dump()).status, 200);

  simulator->SetLookupAvailable(false);
  const SimReply off = client.Get("/api/v3/invoices/r-1");
  EXPECT_EQ(off.status, 503);
  EXPECT_TRUE(ParseJson(off.body).contains("message"));
  simulator->SetLookupAvailable(true);
  EXPECT_EQ(client.Get("/api/v3/invoices/r-1").status, 200);

  EXPECT_EQ(CurlRequest(client, "PUT", "/control/lookup", "false").status, 200);
  EXPECT_EQ(client.Get("/api/v3/invoices/r-1").status, 503);
  EXPECT_EQ(CurlRequest(client, "DELETE", "/control/lookup").status, 200);
  EXPECT_EQ(client.Get("/api/v3/invoices/r-1").body, simulator->AnswerFor("r-1").value());
}

}  // namespace
}  // namespace telvano::testing
