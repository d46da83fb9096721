// The road of a good invoice: a POS file in, stored rows, the exact request, a signed answer, result files.
#include "invoice_fixture.h"

#include "db/settings.h"

namespace telvano::invoice::testing {
namespace {

using ::telvano::testing::ReadFileBytes;

class InvoiceSuccess : public InvoiceRoadTest {};

TEST_F(InvoiceSuccess, NormalSaleSendsTheExactRequestAndLeavesOnlyResults) {
  Process("INV_NS_000123.csv",
          InvoiceFile({",\"Kafa espresso\",120,2,kom,240,Ђ", "12345678,Sok,99.9,1,kom,99.9,Е"}, {"Cash,,339.9"},
                      {"cashier,Pera", "invoiceNumber,POS-1", "buyerId,", "OmitQRCodeGen,0"}));

  EXPECT_EQ(LastRequestBody(),
            "{\"cashier\":\"Pera\",\"invoiceType\":\"Normal\",\"transactionType\":\"Sale\",\"invoiceNumber\":\"POS-1\","
            "\"OmitQRCodeGen\":\"0\",\"payment\":[{\"amount\":339.9,\"paymentType\":\"Cash\"}],\"items\":["
            "{\"name\":\"Kafa espresso\",\"quantity\":2,\"uom\":\"kom\",\"unitPrice\":120,\"labels\":[\"Ђ\"],"
            "\"totalAmount\":240},{\"gtin\":\"12345678\",\"name\":\"Sok\",\"quantity\":1,\"uom\":\"kom\","
            "\"unitPrice\":99.9,\"labels\":[\"Е\"],\"totalAmount\":99.9}]}\r\n");
  const auto requests = InvoiceRequests();
  ASSERT_EQ(requests.size(), 1u);
  const auto header = m_db.QueryFirst("select inv_uuid, ext_filename, sdc_date, request_id from inv_request");
  ASSERT_TRUE(header);
  const std::string uuid = (*header)[0].AsString();
  EXPECT_EQ(requests[0].Header("RequestId").value_or(""), uuid);
  EXPECT_EQ(uuid.size(), 36u);
  EXPECT_EQ((*header)[1].AsString(), "INV_NS_000123.CSV");
  EXPECT_FALSE((*header)[2].AsString().empty());
  EXPECT_TRUE((*header)[3].IsNull());

  EXPECT_FALSE(Exists(Input("INV_NS_000123.csv")));
  EXPECT_TRUE(ArchiveFiles().empty());  // neither JSON file is kept
  EXPECT_TRUE(Exists(Output("INV_NS_000123_journal.txt")));
  EXPECT_TRUE(Exists(Output("INV_NS_000123_vurl.txt")));
  EXPECT_TRUE(Exists(Output("INV_NS_000123_qrcode.gif")));
  EXPECT_TRUE(Exists(Output("INV_NS_000123_basic.csv")));
  EXPECT_FALSE(Exists(Output("INV_NS_000123_err.txt")));
  EXPECT_EQ(ReadOutput("INV_NS_000123_qrcode.gif").substr(0, 4), "GIF8");
  EXPECT_TRUE(m_printer.calls.empty());  // no CustomizedExport: nothing printed
  EXPECT_EQ(m_clock.TotalSlept().count(), 2000);

  const auto items = m_db.Query("select row_num, gtin, name, unit_price, labels, labels_cyr, cashier, it_type, "
                                "invoice_number, signed_by from inv_sale_items order by row_num");
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]["row_num"].AsString(), "0");
  EXPECT_TRUE(items[0]["gtin"].IsNull());
  EXPECT_EQ(items[0]["name"].AsString(), "Kafa espresso");
  EXPECT_EQ(items[0]["unit_price"].AsDecimal(), (db::Decimal{120, 0}));
  EXPECT_EQ(items[0]["labels"].AsString(), "Ђ");
  EXPECT_EQ(items[0]["labels_cyr"].AsString(), "06");
  EXPECT_EQ(items[1]["labels_cyr"].AsString(), "07");
  EXPECT_EQ(items[1]["it_type"].AsString(), "NS");
  EXPECT_EQ(items[1]["cashier"].AsString(), "Pera");
  EXPECT_EQ(items[1]["invoice_number"].AsString(), m_sim->LastInvoiceNumber());
  EXPECT_EQ(items[1]["signed_by"].AsString(), "YJLQTEQR");
  const auto response = m_db.QueryFirst("select invoice_number, esir_version, it_type, mrc from inv_response");
  ASSERT_TRUE(response);
  EXPECT_EQ((*response)[0].AsString(), m_sim->LastInvoiceNumber());
  EXPECT_EQ((*response)[1].AsString(), "POS-1");
  EXPECT_EQ((*response)[2].AsString(), "NS");
  EXPECT_EQ(Count("inv_tax_items"), 2);
  EXPECT_EQ(Count("inv_pay_items"), 1);
  EXPECT_EQ(db::ReadSetting(m_db, "SDC_MRC"), (*response)[3].AsString());
}

TEST_F(InvoiceSuccess, RefundCarriesItsReferentDocument) {
  Process("INV_NS_1.csv", InvoiceFile({",Kafa,120,1,kom,120,Ђ"}, {"Cash,,120"}, {"cashier,Pera"}));
  const auto sale = m_db.QueryFirst("select invoice_number, sdc_date_time from inv_response");
  ASSERT_TRUE(sale);
  const std::string number = (*sale)[0].AsString();
  const std::string when = (*sale)[1].AsString();

  Process("INV_NR_2.csv", InvoiceFile({",Kafa,120,1,kom,120,Ђ"}, {"Cash,,120"},
                                      {"cashier,Pera", "referentDocumentNumber," + number,
                                       "referentDocumentDT," + when}));
  EXPECT_FALSE(Exists(Output("INV_NR_2_err.txt")));
  EXPECT_TRUE(Exists(Output("INV_NR_2_basic.csv")));
  EXPECT_EQ(LastRequestBody(), "{\"cashier\":\"Pera\",\"invoiceType\":\"Normal\",\"transactionType\":\"Refund\","
                               "\"referentDocumentNumber\":\"" + number + "\",\"referentDocumentDT\":\"" + when +
                               "\",\"payment\":[{\"amount\":120,\"paymentType\":\"Cash\"}],\"items\":[{\"name\":"
                               "\"Kafa\",\"quantity\":1,\"uom\":\"kom\",\"unitPrice\":120,\"labels\":[\"Ђ\"],"
                               "\"totalAmount\":120}]}\r\n");
  const auto refund = m_db.QueryFirst(
      "select r.it_type, q.referent_document_number from inv_response r join inv_request q on q.inv_uuid = r.inv_uuid "
      "where q.ext_filename = 'INV_NR_2.CSV'");
  ASSERT_TRUE(refund);
  EXPECT_EQ((*refund)[0].AsString(), "NR");
  EXPECT_EQ((*refund)[1].AsString(), number);
  EXPECT_EQ(m_sim->TransactionTypeCounter("ПР"), 1u);
}

TEST_F(InvoiceSuccess, LetterAndCodeLabelFormsStoreAndSendTheSame) {
  Process("INV_NS_L.csv", InvoiceFile({",Kafa,10,1,kom,10,ЂЕ"}, {"Cash,,10"}, {}));
  const std::string lettersRequest = LastRequestBody();
  Process("INV_NS_C.csv", InvoiceFile({",Kafa,10,1,kom,10,0607"}, {"Cash,,10"}, {"CustomizedTaxLabels,1"}));
  EXPECT_EQ(LastRequestBody(), lettersRequest);
  EXPECT_NE(lettersRequest.find("\"labels\":[\"Ђ\",\"Е\"]"), std::string::npos);
  const auto rows = m_db.Query("select labels, labels_cyr from inv_sale_items");
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows) {
    EXPECT_EQ(row["labels"].AsString(), "ЂЕ");
    EXPECT_EQ(row["labels_cyr"].AsString(), "0607");
  }
  // With codes the POS also reads codes in BLOCK_TAXES; the stored answer keeps the letter.
  EXPECT_NE(ReadOutput("INV_NS_C_basic.csv").find(",06,"), std::string::npos);
  EXPECT_NE(ReadOutput("INV_NS_L_basic.csv").find(",Ђ,"), std::string::npos);
  EXPECT_EQ(m_db.Query("select label from inv_tax_items where label_cyr = '06'").size(), 2u);
}

TEST_F(InvoiceSuccess, CustomizedOptionsReachThePrinterAndKeepTheJsonFiles) {
  Process("INV_NS_P.csv", InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,10"},
                                      {"customizedexport,star-2", "CustomizedSerial,\"/dev/ttyUSB0 9600\"",
                                       "CustomizedKusur,90.5", "CustomizedPotpis,1", "CustomizedJSON,1"}));
  ASSERT_EQ(m_printer.calls.size(), 1u);
  const auto& call = m_printer.calls[0];
  EXPECT_EQ(call.base, "INV_NS_P");
  EXPECT_EQ(call.modelText, "3");
  EXPECT_EQ(call.printerPort, "/dev/ttyUSB0 9600");
  EXPECT_EQ(call.changeAmount, (db::Decimal{905000, 4}));
  EXPECT_TRUE(call.signatureLine);
  EXPECT_TRUE(call.journalPresent && call.urlPresent);  // printing reads the two files just written
  const std::string uuid = m_db.QueryFirst("select inv_uuid from inv_request")->operator[](0).AsString();
  EXPECT_EQ(call.uuid, uuid);
  // CustomizedJSON,1: both work files stay, byte for byte what was sent and received.
  EXPECT_EQ(ArchiveFiles(), (std::vector<std::string>{uuid + "_req.json", uuid + "_resp.json"}));
  EXPECT_EQ(ReadFileBytes(Archive(uuid + "_req.json")), LastRequestBody());
  EXPECT_EQ(ReadFileBytes(Archive(uuid + "_resp.json")), m_sim->AnswerFor(uuid).value_or("?") + "\r\n");

  // Without a change amount the printer gets -1, without CustomizedPotpis no signature line.
  Process("INV_NS_Q.csv", InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,10"},
                                      {"CustomizedExport,EPSON", "CustomizedKusur,abc"}));
  ASSERT_EQ(m_printer.calls.size(), 2u);
  EXPECT_EQ(m_printer.calls[1].modelText, "0");
  EXPECT_EQ(m_printer.calls[1].changeAmount, (db::Decimal{-1, 0}));
  EXPECT_FALSE(m_printer.calls[1].signatureLine);
}

TEST_F(InvoiceSuccess, EmptyPaymentsGtinAndBuyerLeftOutApostrophesKept) {
  Process("INV_TS_9.csv",
          InvoiceFile({",\"Pera's \"\"best\"\" \\ kafa\",10,1.5,kom,15,Ђ"}, {"Cash,,", "Card,x,"},
                      {"cashier,O'Brien", "buyerId,", "buyerCostCenterId,\"'; drop table inv_request; --\""}));
  EXPECT_EQ(LastRequestBody(),
            "{\"cashier\":\"O'Brien\",\"invoiceType\":\"Training\",\"transactionType\":\"Sale\","
            "\"buyerCostCenterId\":\"'; drop table inv_request; --\",\"payment\":[],\"items\":[{\"name\":"
            "\"Pera's \\\"best\\\" \\\\ kafa\",\"quantity\":1.5,\"uom\":\"kom\",\"unitPrice\":10,\"labels\":[\"Ђ\"],"
            "\"totalAmount\":15}]}\r\n");
  const auto row = m_db.QueryFirst("select cashier, buyer_id, buyer_cost_center_id from inv_request");
  ASSERT_TRUE(row);
  EXPECT_EQ((*row)[0].AsString(), "O'Brien");
  EXPECT_TRUE((*row)[1].IsNull());
  EXPECT_EQ((*row)[2].AsString(), "'; drop table inv_request; --");
  EXPECT_EQ(Count("inv_pay_items"), 0);
  EXPECT_EQ(m_db.QueryFirst("select name from inv_sale_items")->operator[](0).AsString(), "Pera's \"best\" \\ kafa");
}

TEST_F(InvoiceSuccess, PauseGrowsWithTheItemCount) {
  std::vector<std::string> items;
  for (int i = 0; i < 21; ++i) items.push_back(",Artikal" + std::to_string(i) + ",1,1,kom,1,Ђ");
  Process("INV_NS_21.csv", InvoiceFile(items, {"Cash,,21"}, {}));
  EXPECT_TRUE(Exists(Output("INV_NS_21_basic.csv")));
  EXPECT_EQ(m_clock.TotalSlept().count(), 2420);
  EXPECT_NE(LastRequestBody().find("\"name\":\"Artikal0\""), std::string::npos);
  EXPECT_LT(LastRequestBody().find("\"name\":\"Artikal9\""), LastRequestBody().find("\"name\":\"Artikal10\""));
}

TEST_F(InvoiceSuccess, ByteOrderMarkAndCrOnlyLinesParseTheSame) {
  Process("INV_NS_B.csv", "\xEF\xBB\xBF" "BLOCK_ITEMS\r,Kafa,10,1,kom,10,Ђ\rE-O-B\rBLOCK_PAYMENTS\rCash,,10\rE-O-B\r"
                          "BLOCK_OTHERS\rcashier,Pera\rE-O-B\r");
  EXPECT_TRUE(Exists(Output("INV_NS_B_basic.csv")));
  EXPECT_NE(LastRequestBody().find("{\"cashier\":\"Pera\""), std::string::npos);
}

TEST_F(InvoiceSuccess, LegacyCodePageIsReadWhenConfigured) {
  m_configuration.CodePage = "windows-1250";
  Process("INV_NS_W.csv", InvoiceFile({",\x8A" "ljiva,10,1,kom,10,06"}, {"Cash,,10"}, {"CustomizedTaxLabels,1"}));
  EXPECT_TRUE(Exists(Output("INV_NS_W_basic.csv")));
  EXPECT_NE(LastRequestBody().find("\"name\":\"Šljiva\""), std::string::npos);
}

}  // namespace
}  // namespace telvano::invoice::testing
