// The files for the POS, byte for byte, from a processor answer given here in full. The expected bytes are
// written out by hand from the file formats, not taken from the program's output.
#include "invoice_fixture.h"

#include "db/settings.h"

namespace telvano::invoice::testing {
namespace {

const std::string kBusinessName = "ПРОДАВНИЦА-БРОЈ-1-СА-ВРЛО-ДУГАЧКИМ-ИМЕНОМ-КОЈЕ-ПРЕЛАЗИ-50-АБ";  // 60 letters

std::string FullAnswer() {
  return "{\"requestedBy\":\"YJLQTEQR\",\"sdcDateTime\":\"2024-03-01T10:15:30.123+01:00\","
         "\"invoiceCounter\":\"12/34ПП\",\"invoiceCounterExtension\":\"ПП\",\"invoiceNumber\":\"YJLQTEQR-YJLQTEQR-34\","
         "\"taxItems\":[{\"categoryType\":0,\"label\":\"Ђ\",\"amount\":40.0,\"rate\":20.00,\"categoryName\":\"О-ПДВ\"},"
         "{\"categoryType\":0,\"label\":\"Е\",\"amount\":9.0818,\"rate\":10,\"categoryName\":\"П, \\\"ПДВ\\\"\"}],"
         "\"verificationUrl\":\"https://x.test/v/?vl=AB%2B\",\"verificationQRCode\":\"R0lGODlhAQABAAAAACw=\","
         "\"journal\":\"ЛИНИЈА 1\\r\\nЛИНИЈА 2\",\"messages\":\"Успешна фискализација\",\"signedBy\":\"YJLQTEQR\","
         "\"encryptedInternalData\":\"AAA=\",\"signature\":\"BBB=\",\"totalCounter\":34,\"transactionTypeCounter\":12,"
         "\"totalAmount\":339.90,\"taxGroupRevision\":5,\"businessName\":\"" + kBusinessName + "\","
         "\"tin\":\"RS111911206\",\"locationName\":\"Радња 1\",\"address\":\"Улица 1\",\"district\":\"Београд\","
         "\"mrc\":\"00-1002-YJLQTEQR\"}";
}

class ResultFiles : public InvoiceRoadTest {
 protected:
  void ProcessWithAnswer(const std::string& name, const std::string& answer, const std::string& others = "") {
    m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Error(200, answer));
    std::vector<std::string> otherLines = {"invoiceNumber,POS-77"};
    if (!others.empty()) otherLines.push_back(others);
    Process(name, InvoiceFile({",Kafa,200,1,kom,200,Ђ", ",Sok,139.9,1,kom,139.9,Е"}, {"Cash,,339.9"}, otherLines));
  }
};

TEST_F(ResultFiles, FullAnswer) {
  db::WriteSetting(m_db, "SDC_MRC", "old");
  ProcessWithAnswer("INV_NS_0815.csv", FullAnswer());
  ASSERT_FALSE(Exists(Output("INV_NS_0815_err.txt")));

  EXPECT_EQ(ReadOutput("INV_NS_0815_journal.txt"), "ЛИНИЈА 1\r\nЛИНИЈА 2\r\n");
  EXPECT_EQ(ReadOutput("INV_NS_0815_vurl.txt"), "https://x.test/v/?vl=AB%2B\r\n");
  EXPECT_EQ(ReadOutput("INV_NS_0815_qrcode.gif"),
            std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00\x2C\r\n", 16));
  EXPECT_EQ(ReadOutput("INV_NS_0815_basic.csv"),
            "BLOCK_TAXES\r\n"
            "5,0,Ђ,40,20,О-ПДВ\r\n"
            "5,0,Е,9.0818,10,\"П, \"\"ПДВ\"\"\"\r\n"
            "E-O-B\r\n"
            "BLOCK_INVOICE\r\n"
            "invoiceCounter,12/34ПП\r\n"
            "invoiceCounterExtension,ПП\r\n"
            "totalCounter,34\r\n"
            "transactionTypeCounter,12\r\n"
            "invoiceNumber,YJLQTEQR-YJLQTEQR-34\r\n"
            "requestedBy,YJLQTEQR\r\n"
            "sdcDateTime,2024-03-01T10:15:30.123+01:00\r\n"
            "signedBy,YJLQTEQR\r\n"
            "totalAmount,339.9\r\n"
            "mrc,00-1002-YJLQTEQR\r\n"
            "taxGroupRevision,5\r\n"
            "messages,\"Успешна фискализација\"\r\n"
            "E-O-B\r\n"
            "BLOCK_TAXPAYER\r\n"
            "address,\"Улица 1\"\r\n"
            "businessName," + kBusinessName + "\r\n"
            "district,Београд\r\n"
            "locationName,\"Радња 1\"\r\n"
            "tin,RS111911206\r\n"
            "E-O-B\r\n");

  const auto r = m_db.QueryFirst(
      "select requested_by, signed_by, sdc_date_time, invoice_counter, invoice_counter_extension, invoice_number, "
      "verification_url, total_counter, transaction_type_counter, total_amount, business_name, location_name, "
      "address, tin, district, tax_group_revision, mrc, messages, sdc_date, esir_version, it_type from inv_response");
  ASSERT_TRUE(r);
  const std::vector<std::string> expected = {
      "YJLQTEQR", "YJLQTEQR", "2024-03-01T10:15:30.123+01:00", "12/34ПП", "ПП", "YJLQTEQR-YJLQTEQR-34",
      "https://x.test/v/?vl=AB%2B", "34", "12", "339.9000", "ПРОДАВНИЦА-БРОЈ-1-СА-ВРЛО-ДУГАЧКИМ-ИМЕНОМ-КОЈЕ-ПРЕ",
      "Радња 1", "Улица 1", "RS111911206", "Београд", "5", "00-1002-YJLQTEQR", "Успешна фискализација", "2024-03-01",
      "POS-77", "NS"};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ((*r)[i].AsString(), expected[i]) << i;

  const auto tax = m_db.Query("select group_id, label, rate, category_type, category_name, amount, sdc_date, "
                              "invoice_number, it_type, label_cyr from inv_tax_items order by label_cyr");
  ASSERT_EQ(tax.size(), 2u);
  EXPECT_EQ(tax[0]["group_id"].AsString(), "5");
  EXPECT_EQ(tax[1]["group_id"].AsString(), "5");
  EXPECT_EQ(tax[0]["label"].AsString(), "Ђ");
  EXPECT_EQ(tax[0]["label_cyr"].AsString(), "06");
  EXPECT_EQ(tax[0]["rate"].AsString(), "20.0000");
  EXPECT_EQ(tax[1]["amount"].AsString(), "9.0818");
  EXPECT_EQ(tax[1]["category_name"].AsString(), "П, \"ПДВ\"");
  EXPECT_EQ(tax[1]["sdc_date"].AsString(), "2024-03-01");
  EXPECT_EQ(tax[1]["it_type"].AsString(), "NS");
  EXPECT_EQ(m_db.QueryFirst("select sdc_date from inv_request")->operator[](0).AsString(), "2024-03-01");
  EXPECT_EQ(m_db.QueryFirst("select sdc_date_time from inv_pay_items")->operator[](0).AsString(),
            "2024-03-01T10:15:30.123+01:00");
  EXPECT_EQ(db::ReadSetting(m_db, "SDC_MRC"), "00-1002-YJLQTEQR");
}

TEST_F(ResultFiles, SparseAnswerLeavesLinesAndFilesOut) {
  db::WriteSetting(m_db, "SDC_MRC", "old");
  ProcessWithAnswer("INV_NS_0816.csv",
                    "{\"taxItems\":[],\"verificationQRCode\":null,\"journal\":null,\"mrc\":\"\",\"invoiceNumber\":\"N-1\"}",
                    "CustomizedTaxLabels,0");
  ASSERT_FALSE(Exists(Output("INV_NS_0816_err.txt")));
  EXPECT_FALSE(Exists(Output("INV_NS_0816_journal.txt")));
  EXPECT_FALSE(Exists(Output("INV_NS_0816_qrcode.gif")));
  EXPECT_EQ(ReadOutput("INV_NS_0816_vurl.txt"), "\r\n");
  EXPECT_EQ(ReadOutput("INV_NS_0816_basic.csv"),
            "BLOCK_TAXES\r\nE-O-B\r\nBLOCK_INVOICE\r\ninvoiceNumber,N-1\r\nE-O-B\r\nBLOCK_TAXPAYER\r\nE-O-B\r\n");
  const auto r = m_db.QueryFirst("select total_counter, total_amount, mrc, requested_by, sdc_date from inv_response");
  ASSERT_TRUE(r);
  EXPECT_EQ((*r)[0].AsString(), "-1");
  EXPECT_EQ((*r)[1].AsString(), "-1.0000");
  EXPECT_TRUE((*r)[2].IsNull());
  EXPECT_TRUE((*r)[3].IsNull());
  EXPECT_TRUE((*r)[4].IsNull());
  EXPECT_EQ(db::ReadSetting(m_db, "SDC_MRC"), "");
}

TEST_F(ResultFiles, TaxLabelCodesInBlockTaxes) {
  ProcessWithAnswer("INV_NS_0817.csv", FullAnswer(), "CustomizedTaxLabels,1");
  const std::string basic = ReadOutput("INV_NS_0817_basic.csv");
  EXPECT_EQ(basic.substr(0, basic.find("E-O-B")),
            "BLOCK_TAXES\r\n5,0,06,40,20,О-ПДВ\r\n5,0,07,9.0818,10,\"П, \"\"ПДВ\"\"\"\r\n");
  EXPECT_EQ(m_db.Query("select label from inv_tax_items where label = 'Ђ'").size(), 1u);
}

TEST_F(ResultFiles, ErrorFileHasByteOrderMarkAndLocalTime) {
  m_clock.Set({2024, 3, 1, 8, 5, 2, 0, 60});
  Process("INV_0815.csv", "x");
  EXPECT_EQ(ReadOutput("INV_0815_err.txt"),
            "\xEF\xBB\xBF" "2024-03-01 08:05:02\r\nNeodgovarajući naziv file-a - IT!\r\n");
}

}  // namespace
}  // namespace telvano::invoice::testing
