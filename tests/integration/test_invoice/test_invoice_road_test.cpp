// The test invoice through the real invoice road: the simulated processor, the handler, the database.
#include "invoice/test_invoice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "invoice_road.h"

namespace telvano::invoice {
namespace {

namespace fs = std::filesystem;
using cmd::testing::InvoiceRoad;
using cmd::testing::Utc;

class TestInvoiceRoadTest : public ::testing::Test {
 protected:
  void Create() {
    CreateTestInvoice(m_road.m_configuration, m_road.m_clock, m_road.m_taxGroups.CurrentTaxLabels(),
                      [this](const std::string& name) { m_road.m_invoice.ProcessCsvInvoice(name); });
  }

  bool NoTestFileLeft() const {
    for (const auto& folder : {m_road.m_configuration.InputDir, m_road.m_configuration.OutputDir}) {
      for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with("INV_TS_")) return false;
      }
    }
    return true;
  }

  std::int64_t StoredTestInvoices() {
    return m_road.m_database.Db()
        .QueryFirst("select count(*) from inv_request where ext_filename=?", {std::string("INV_TS_20240301081502.CSV")})
        ->operator[](0)
        .AsInt64();
  }

  InvoiceRoad m_road{Utc(2024, 3, 1, 7)};
};

TEST_F(TestInvoiceRoadTest, ATrainingSaleIsFiscalisedAndItsFilesRemoved) {
  ASSERT_FALSE(m_road.m_taxGroups.CurrentTaxLabels().empty());
  EXPECT_NO_THROW(Create());
  EXPECT_TRUE(NoTestFileLeft());
  EXPECT_EQ(StoredTestInvoices(), 1);
  const auto response = m_road.m_database.Db().QueryFirst("select it_type, total_amount from inv_response");
  ASSERT_TRUE(response.has_value());
  EXPECT_EQ((*response)[0].AsString(), "TS");
  EXPECT_EQ((*response)[1].AsDecimal().ToFixed(2), "1.00");
  const auto requests = m_road.m_simulator->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].body.find("\"Training\""), std::string::npos);
  EXPECT_NE(requests[0].body.find("TestArtikal"), std::string::npos);
  EXPECT_GE(m_road.m_clock.TotalSlept().count(), 2000);

  // A second test invoice in the same second has the same name: the handler refuses it as a duplicate.
  m_road.m_clock.Set({2024, 3, 1, 8, 15, 2, 0, 60});
  try {
    Create();
    FAIL() << "no error raised";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("Račun je već fiskalizovan!"), std::string::npos) << error.what();
  }
  EXPECT_TRUE(NoTestFileLeft());
  EXPECT_EQ(StoredTestInvoices(), 1);
}

TEST_F(TestInvoiceRoadTest, AProcessorRejectionIsRaisedWithTheErrorFileText) {
  m_road.m_simulator->QueueFault("/api/v3/invoices",
                                 pfrsim::Fault::Error(400, R"({"message":"Invalid invoice","modelState":[]})"));
  try {
    Create();
    FAIL() << "no error raised";
  } catch (const std::runtime_error& error) {
    const std::string text = error.what();
    // The error file's text: its time stamp line and the failure, without the byte-order mark.
    EXPECT_FALSE(text.starts_with("\xEF\xBB\xBF"));
    EXPECT_NE(text.find("\r\n"), std::string::npos) << text;
    EXPECT_FALSE(text.ends_with("\r\n"));
    EXPECT_TRUE(text.starts_with("2024-03-01 08:15:02\r\n")) << text;
    EXPECT_NE(text.find("Invalid invoice"), std::string::npos) << text;  // the processor's own words
  }
  EXPECT_TRUE(NoTestFileLeft());
  EXPECT_EQ(StoredTestInvoices(), 0);  // a rejected invoice leaves no rows
}

}  // namespace
}  // namespace telvano::invoice
