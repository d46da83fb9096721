// An invoice posted under a key is signed once, whatever happens to the answer, and the key answers the same
// ever after; nothing of it touches the POS's exchange folder.
#include <nlohmann/json.hpp>

#include "api/api_folders.h"
#include "api/api_invoices.h"
#include "api/result_texts.h"
#include "invoice/result_files.h"
#include "invoice/sdc_response.h"
#include "invoice_fixture.h"

namespace telvano::api {
namespace {

namespace fs = std::filesystem;
using invoice::testing::InvoiceFile;
using Json = nlohmann::json;

class ApiInvoicesTest : public invoice::testing::InvoiceRoadTest {
 protected:
  ApiInvoicesTest()
      : m_folders(ApiFolders::Under((m_root.Path() / "ApplData").string())),
        m_roadConfiguration(m_folders.RoadConfiguration(m_configuration)) {
    fs::create_directories(m_root.Path() / "ApplData");
    m_folders.Create();
    m_road = std::make_unique<invoice::TFormInvoice>(m_roadConfiguration, m_db, *m_http, m_clock, m_printer,
                                                     invoice::InvoiceRoad{invoice::kApiRoad, false});
    m_api = std::make_unique<ApiInvoices>(m_folders, m_db, *m_road, m_clock);
  }

  static std::string Sale(const std::string& item = "Kafa") {
    return InvoiceFile({"," + item + ",10,1,kom,10,Ђ"}, {"Cash,,10"}, {"cashier,Ana"});
  }
  std::size_t Signed() const { return m_sim->TotalCounter(); }
  bool ExchangeIsEmpty() const {
    for (const std::string& folder : {m_configuration.InputDir, m_configuration.OutputDir, m_configuration.ArchiveDir}) {
      if (!fs::is_empty(folder)) return false;
    }
    return true;
  }
  void ResolveLater() {
    m_clock.Advance(std::chrono::minutes(2));
    m_road->ResolveOpenInvoices();
    m_api->CollectFinished();
  }

  ApiFolders m_folders;
  core::Configuration m_roadConfiguration;
  std::unique_ptr<invoice::TFormInvoice> m_road;
  std::unique_ptr<ApiInvoices> m_api;
};

TEST_F(ApiInvoicesTest, SignedOnceWithTheResultTextsByteForByteAndTheSameAnswerEverAfter) {
  const ApiAnswer first = m_api->Post("k1", "INV_NS_1.csv", Sale());
  ASSERT_EQ(first.status, 200) << first.body;
  const Json body = Json::parse(first.body);
  const std::string answer = *m_sim->AnswerFor(m_sim->Requests().back().Header("RequestId").value());
  const invoice::TSdcResponse response = invoice::ParseSdcResponse(answer);
  EXPECT_EQ(body["status"], "signed");
  EXPECT_EQ(body["invoiceNumber"], response.invoiceNumber);
  EXPECT_EQ(body["journal"], response.journal + "\r\n");
  EXPECT_EQ(body["verificationUrl"], response.verificationUrl + "\r\n");
  EXPECT_EQ(body["qrCodeGif"], EncodeBase64(invoice::QrCodeImageBytes(response.verificationQRCode) + "\r\n"));
  EXPECT_EQ(body["basic"], invoice::BuildBasicCsv(response, false));
  EXPECT_TRUE(ExchangeIsEmpty());
  EXPECT_TRUE(fs::is_empty(m_folders.input));
  EXPECT_TRUE(fs::is_empty(m_folders.output));

  // The same request again, or asking for it, never reaches the processor; not even after a restart before
  // the key's row was marked (its kept answer is what counts).
  EXPECT_EQ(ApiInvoices(m_folders, m_db, *m_road, m_clock).Get("k1").body, first.body);
  EXPECT_EQ(m_api->Post("k1", "INV_NS_1.csv", Sale()).body, first.body);
  EXPECT_EQ(m_api->Get("k1").body, first.body);
  EXPECT_EQ(Signed(), 1u);
  // Another body under the key is refused; another key with the same file name is the road's duplicate.
  EXPECT_EQ(m_api->Post("k1", "INV_NS_1.csv", Sale("Čaj")).status, 409);
  const ApiAnswer duplicate = m_api->Post("k2", "INV_NS_1.csv", Sale());
  EXPECT_EQ(duplicate.status, 422);
  EXPECT_NE(Json::parse(duplicate.body)["error"].get<std::string>().find("Račun je već fiskalizovan!"), std::string::npos);
  EXPECT_EQ(m_api->Get("nobody").status, 404);
  EXPECT_EQ(Signed(), 1u);
}

TEST_F(ApiInvoicesTest, RefusedWithTheErrorFileTextAndKeptSo) {
  const ApiAnswer refused = m_api->Post("bad", "INV_XS_1.csv", Sale());
  ASSERT_EQ(refused.status, 422);
  const std::string error = Json::parse(refused.body)["error"];
  // The error file's text without its byte-order mark: the time stamp line, then the reason.
  EXPECT_EQ(error.substr(19), "\r\nNeodgovarajući naziv file-a - IT!\r\n");
  EXPECT_EQ(m_api->Post("bad", "INV_XS_1.csv", Sale()).body, refused.body);
  EXPECT_EQ(m_api->Get("bad").body, refused.body);
  EXPECT_TRUE(ExchangeIsEmpty());
}

TEST_F(ApiInvoicesTest, NothingSentWhileTheProcessorIsAwayAndTheSameRequestSignsLater) {
  m_workingState.WorkUrl = "http://127.0.0.1:1";  // nobody listens there
  const ApiAnswer away = m_api->Post("k", "INV_NS_2.csv", Sale());
  EXPECT_EQ(away.status, 503);
  EXPECT_EQ(Json::parse(away.body)["status"], "notSent");
  EXPECT_EQ(m_api->Get("k").status, 503);  // a GET never sends it
  m_workingState.WorkUrl = m_sim->BaseUrl();
  EXPECT_EQ(m_api->Post("k", "INV_NS_2.csv", Sale()).status, 200);
  EXPECT_EQ(Signed(), 1u);
}

TEST_F(ApiInvoicesTest, PendingWhileTheAnswerIsLostThenSignedFromTheProcessorsRecord) {
  m_sim->SetLookupAvailable(false);
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDropped());
  const ApiAnswer pending = m_api->Post("k", "INV_NS_3.csv", Sale());
  ASSERT_EQ(pending.status, 202) << pending.body;
  ASSERT_EQ(pending.headers.size(), 1u);
  EXPECT_EQ(pending.headers[0], (std::pair<std::string, std::string>{"Location", "/v1/invoices/k"}));
  EXPECT_NE(Json::parse(pending.body)["error"].get<std::string>().find("Ishod računa još nije poznat"), std::string::npos);
  // While it is open, its name is not taken by another key, and the same key is still pending.
  EXPECT_EQ(m_api->Post("other", "INV_NS_3.csv", Sale()).status, 409);
  EXPECT_EQ(m_api->Post("k", "INV_NS_3.csv", Sale()).status, 202);

  m_sim->SetLookupAvailable(true);
  // The POS's road could ask now, but the invoice is the API's: it is neither finished into the exchange
  // folder nor is a POS file of its name taken meanwhile.
  m_clock.Advance(std::chrono::minutes(2));
  m_invoice->ResolveOpenInvoices();
  EXPECT_TRUE(ExchangeIsEmpty());
  EXPECT_EQ(Count("inv_flight"), 1);
  EXPECT_TRUE(m_invoice->HoldsInput("INV_NS_3.csv"));

  ResolveLater();
  const ApiAnswer signedLater = m_api->Get("k");
  EXPECT_EQ(signedLater.status, 200) << signedLater.body;
  EXPECT_EQ(m_api->Post("k", "INV_NS_3.csv", Sale()).body, signedLater.body);
  EXPECT_EQ(Signed(), 1u);
  EXPECT_TRUE(ExchangeIsEmpty());
}

TEST_F(ApiInvoicesTest, KeysOlderThanTheRetentionAreForgotten) {
  ASSERT_EQ(m_api->Post("old", "INV_NS_4.csv", Sale()).status, 200);
  ASSERT_EQ(m_api->Post("new", "INV_NS_5.csv", Sale()).status, 200);
  m_db.Execute("update api_keys set created_at=dateadd(-41 day to current_timestamp) where idem_key='old'");
  m_api->CollectFinished();
  EXPECT_EQ(m_api->Get("old").status, 404);
  EXPECT_FALSE(fs::exists(m_folders.answers + "/old.json"));
  EXPECT_EQ(m_api->Get("new").status, 200);
}

}  // namespace
}  // namespace telvano::api
