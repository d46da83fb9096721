// The local processor over plain HTTP: status, environment, PIN state, counters, recovery by RequestId and
// the state file.
#include <gtest/gtest.h>

#include "sim_client.h"
#include "support/pfr_sim_fixture.h"
#include "support/temp_dir.h"

namespace telvano::testing {
namespace {

using pfrsim::SimOptions;

TEST(PfrSimLpfr, StatusBeforeAndAfterThePinAndTheRestOfTheStatus) {
  auto simulator = StartLpfrSimulator();
  const SimClient client = LpfrClient(*simulator);

  const auto attention = client.Get("/api/v3/attention");
  EXPECT_EQ(attention.status, 200);
  EXPECT_EQ(attention.body, "");

  auto status = ParseJson(client.Get("/api/v3/status").body);
  EXPECT_EQ(status["gsc"], nlohmann::json({"1500", "0210"}));
  EXPECT_EQ(status["isPinRequired"], true);
  EXPECT_EQ(status["uid"], "YJLQTEQR");
  EXPECT_EQ(status["deviceSerialNumber"], "00-1002-YJLQTEQR");
  for (const char* member : {"auditRequired", "sdcDateTime", "lastInvoiceNumber", "protocolVersion",
                             "secureElementVersion", "hardwareVersion", "softwareVersion", "make", "model", "mssc",
                             "supportedLanguages", "taxCoreApi", "currentTaxRates", "allTaxRates"}) {
    EXPECT_TRUE(status.contains(member)) << member;
  }
  // Production labels: the group in force and one announced for later.
  ASSERT_EQ(status["allTaxRates"].size(), 2u);
  const auto& current = status["currentTaxRates"];
  EXPECT_EQ(current["validFrom"], "2024-01-01T00:00:00Z");
  EXPECT_EQ(current["taxCategories"][0]["name"], "О-ПДВ");
  EXPECT_EQ(current["taxCategories"][0]["categoryType"], "TaxOnNet");
  EXPECT_EQ(current["taxCategories"][0]["taxRates"][0]["label"], "Ђ");
  EXPECT_EQ(current["taxCategories"][0]["taxRates"][0]["rate"], 20.0);
  EXPECT_EQ(status["allTaxRates"][1]["validFrom"], "2099-01-01T00:00:00Z");

  const auto pin = client.Post("/api/v3/pin", "1234");
  EXPECT_EQ(pin.status, 200);
  EXPECT_EQ(pin.body, "\"0100\"");
  status = ParseJson(client.Get("/api/v3/status").body);
  EXPECT_EQ(status["gsc"], nlohmann::json({"0000", "0210"}));
  EXPECT_EQ(status["isPinRequired"], false);
}

TEST(PfrSimLpfr, InvoicesAreRefusedWith1500UntilTheRightPin) {
  auto simulator = StartLpfrSimulator();
  const SimClient client = LpfrClient(*simulator);
  const std::string invoice = OneItemInvoice().dump();

  auto refused = client.Post("/api/v3/invoices", invoice);
  EXPECT_EQ(refused.status, 400);
  EXPECT_NE(refused.body.find("\"1500\""), std::string::npos) << refused.body;

  EXPECT_EQ(client.Post("/api/v3/pin", "4321").body, "\"2100\"");
  EXPECT_EQ(client.Post("/api/v3/invoices", invoice).status, 400);
  EXPECT_EQ(client.Post("/api/v3/pin", "1234").body, "\"0100\"");
  EXPECT_EQ(client.Post("/api/v3/invoices", invoice).status, 200);
  EXPECT_EQ(simulator->TotalCounter(), 1u);
}

TEST(PfrSimLpfr, FiveWrongPinsLockTheCard) {
  auto simulator = StartLpfrSimulator();
  const SimClient client = LpfrClient(*simulator);
  for (int attempt = 1; attempt <= 5; ++attempt) {
    EXPECT_EQ(client.Post("/api/v3/pin", "0000").body, "\"2100\"") << attempt;
  }
  EXPECT_TRUE(simulator->CardLocked());
  // Locked: even the right PIN is refused, the status says so and no invoice is signed.
  EXPECT_EQ(client.Post("/api/v3/pin", "1234").body, "\"2110\"");
  const auto status = ParseJson(client.Get("/api/v3/status").body);
  EXPECT_NE(std::find(status["gsc"].begin(), status["gsc"].end(), "2110"), status["gsc"].end());
  EXPECT_EQ(client.Post("/api/v3/invoices", OneItemInvoice().dump()).status, 400);
  EXPECT_EQ(simulator->TotalCounter(), 0u);
}

TEST(PfrSimLpfr, ARightPinBeforeTheFifthResetsTheCount) {
  auto simulator = StartLpfrSimulator();
  const SimClient client = LpfrClient(*simulator);
  for (int attempt = 0; attempt < 4; ++attempt) client.Post("/api/v3/pin", "9999");
  EXPECT_EQ(client.Post("/api/v3/pin", "1234").body, "\"0100\"");
  EXPECT_EQ(simulator->WrongPinCount(), 0);
  EXPECT_EQ(client.Post("/api/v3/pin", "12a4").status, 400);  // not four digits: refused, not counted
  EXPECT_EQ(simulator->WrongPinCount(), 0);
}

TEST(PfrSimLpfr, EnvironmentNameAndCategoryTypeAsNumber) {
  SimOptions options;
  options.environmentName = "СУФ ПРОДУКЦИЈА";
  options.categoryTypeAsInt = true;
  auto simulator = StartLpfrSimulator(options);
  const SimClient client = LpfrClient(*simulator);
  const auto environment = ParseJson(client.Get("/api/v3/environment-parameters").body);
  EXPECT_EQ(environment["environmentName"], "СУФ ПРОДУКЦИЈА");
  EXPECT_EQ(environment["endpoints"]["root"], "https://suf.purs.gov.rs:443/v/?vl=");
  EXPECT_EQ(environment["supportedLanguages"], nlohmann::json({"sr-Cyrl-RS", "en-US"}));
  const auto status = ParseJson(client.Get("/api/v3/status").body);
  EXPECT_EQ(status["allTaxRates"][0]["taxCategories"][0]["categoryType"], 0);

  auto development = StartLpfrSimulator();
  const auto sandbox = ParseJson(LpfrClient(*development).Get("/api/v3/environment-parameters").body);
  EXPECT_EQ(sandbox["environmentName"], "СУФ Развој");
}

TEST(PfrSimLpfr, UnsupportedLanguageIs406) {
  auto simulator = StartLpfrSimulator();
  SimClient client = LpfrClient(*simulator);
  client.extraHeaders = {{"Accept-Language", "de-DE"}};
  EXPECT_EQ(client.Get("/api/v3/status").status, 406);
  client.extraHeaders = {{"Accept-Language", "de-DE;en-US"}};
  EXPECT_EQ(client.Get("/api/v3/status").status, 200);
}

TEST(PfrSimLpfr, RequestLogKeepsMethodPathHeadersAndBodyBytes) {
  SimOptions options;
  options.pinEntered = true;
  auto simulator = StartLpfrSimulator(options);
  SimClient client = LpfrClient(*simulator);
  client.extraHeaders = {{"RequestId", "0f6b1c1e-5a51-4b9c-9d4b-1f2a3b4c5d6e"}};
  const std::string body = OneItemInvoice().dump();
  ASSERT_EQ(client.Post("/api/v3/invoices", body).status, 200);

  const auto requests = simulator->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].path, "/api/v3/invoices");
  EXPECT_EQ(requests[0].body, body);
  EXPECT_EQ(requests[0].Header("requestid"), "0f6b1c1e-5a51-4b9c-9d4b-1f2a3b4c5d6e");
  EXPECT_EQ(requests[0].Header("Accept-Language"), "sr-Cyrl-RS");
  EXPECT_EQ(requests[0].Header("Content-Type"), "application/json");
  EXPECT_FALSE(requests[0].Header("PAC"));
  EXPECT_FALSE(requests[0].Header("REMOTE_ADDR"));  // the server's own bookkeeping is not logged
  EXPECT_EQ(simulator->RequestCount("/api/v3/invoices"), 1u);
  simulator->ClearRequests();
  EXPECT_TRUE(simulator->Requests().empty());
}

TEST(PfrSimLpfr, SignedAnswerIsFoundAgainByRequestId) {
  SimOptions options;
  options.pinEntered = true;
  auto simulator = StartLpfrSimulator(options);
  SimClient client = LpfrClient(*simulator);
  client.extraHeaders = {{"RequestId", "abc-123"}};
  const auto signedReply = client.Post("/api/v3/invoices", OneItemInvoice().dump());
  ASSERT_EQ(signedReply.status, 200);
  const auto again = client.Get("/api/v3/invoices/abc-123");
  EXPECT_EQ(again.status, 200);
  EXPECT_EQ(again.body, signedReply.body);
  EXPECT_EQ(client.Get("/api/v3/invoices/unknown").status, 404);
}

TEST(PfrSimLpfr, CountersPerTypeAndInTotal) {
  SimOptions options;
  options.pinEntered = true;
  auto simulator = StartLpfrSimulator(options);
  const SimClient client = LpfrClient(*simulator);
  auto sign = [&client](nlohmann::ordered_json invoice) { return ParseJson(client.Post("/api/v3/invoices", invoice.dump()).body); };

  auto sale = OneItemInvoice();
  EXPECT_EQ(sign(sale)["invoiceCounter"], "1/1ПП");
  auto training = sale;
  training["invoiceType"] = "Training";
  EXPECT_EQ(sign(training)["invoiceCounter"], "1/2ОП");
  const auto second = sign(sale);
  EXPECT_EQ(second["invoiceCounter"], "2/3ПП");
  EXPECT_EQ(second["invoiceCounterExtension"], "ПП");
  EXPECT_EQ(second["totalCounter"], 3);
  EXPECT_EQ(second["transactionTypeCounter"], 2);
  EXPECT_EQ(second["invoiceNumber"], "YJLQTEQR-YJLQTEQR-3");
  EXPECT_EQ(second["requestedBy"], "YJLQTEQR");
  EXPECT_EQ(second["signedBy"], "YJLQTEQR");
  auto refund = sale;
  refund["transactionType"] = "Refund";
  refund["referentDocumentNumber"] = "YJLQTEQR-YJLQTEQR-3";
  refund["referentDocumentDT"] = "2024-03-01T12:48:11.000+01:00";
  const auto refunded = sign(refund);
  EXPECT_EQ(refunded["invoiceCounter"], "1/4ПР");
  EXPECT_EQ(simulator->LastInvoiceNumber(), "YJLQTEQR-YJLQTEQR-4");
  const auto status = ParseJson(client.Get("/api/v3/status").body);
  EXPECT_EQ(status["lastInvoiceNumber"], "YJLQTEQR-YJLQTEQR-4");
  EXPECT_EQ(simulator->TransactionTypeCounter("ПП"), 2u);
}

TEST(PfrSimLpfr, CountersAndAnswersSurviveARestartWithAStateFile) {
  TempDir folder;
  SimOptions options;
  options.pinEntered = true;
  options.stateFile = folder / "state.json";
  std::string firstAnswer;
  {
    auto simulator = StartLpfrSimulator(options);
    SimClient client = LpfrClient(*simulator);
    client.extraHeaders = {{"RequestId", "first"}};
    firstAnswer = client.Post("/api/v3/invoices", OneItemInvoice().dump()).body;
    client.extraHeaders = {{"RequestId", "second"}};
    ASSERT_EQ(client.Post("/api/v3/invoices", OneItemInvoice().dump()).status, 200);
  }
  auto restarted = StartLpfrSimulator(options);
  SimClient client = LpfrClient(*restarted);
  EXPECT_EQ(restarted->TotalCounter(), 2u);
  EXPECT_EQ(client.Get("/api/v3/invoices/first").body, firstAnswer);
  const auto third = ParseJson(client.Post("/api/v3/invoices", OneItemInvoice().dump()).body);
  EXPECT_EQ(third["invoiceCounter"], "3/3ПП");
  // The PIN is not part of the state: a restarted LPFR asks for it again.
  SimOptions fresh = options;
  fresh.pinEntered = false;
  auto again = StartLpfrSimulator(fresh);
  EXPECT_EQ(ParseJson(LpfrClient(*again).Get("/api/v3/status").body)["gsc"][0], "1500");
}

}  // namespace
}  // namespace telvano::testing
