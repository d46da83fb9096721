#include <gtest/gtest.h>

#include "invoice/invoice_error.h"
#include "invoice/result_files.h"
#include "invoice/sdc_error_text.h"
#include "invoice/sdc_response.h"
#include "invoice/tform_invoice.h"

namespace telvano::invoice {
namespace {

TEST(SdcResponse, FieldsWithTheirDefaults) {
  const TSdcResponse r = ParseSdcResponse(
      R"({"requestedBy":"AAAA","sdcDateTime":"2024-03-01T10:15:30.123+01:00","invoiceNumber":7,)"
      R"("taxItems":[{"categoryType":0,"label":"Ђ","amount":5.6527,"rate":20,"categoryName":"ECAL"},)"
      R"({"categoryType":"x","amount":"1,5"}],"totalCounter":"12","transactionTypeCounter":1.5,)"
      R"("totalAmount":"68.46","taxGroupRevision":null,"journal":null,"mrc":"","tin":true})");
  EXPECT_EQ(r.requestedBy, "AAAA");
  EXPECT_EQ(r.SdcDate(), "2024-03-01");
  EXPECT_EQ(r.invoiceNumber, "7");  // a number's text
  ASSERT_EQ(r.taxItems.size(), 2u);
  EXPECT_EQ(r.taxItems[0].label, "Ђ");
  EXPECT_EQ(RenderDecimal(r.taxItems[0].amount), "5.6527");
  EXPECT_EQ(RenderDecimal(r.taxItems[0].rate), "20");
  EXPECT_EQ(r.taxItems[1].categoryType, -1);
  EXPECT_EQ(RenderDecimal(r.taxItems[1].amount), "-1");
  EXPECT_EQ(RenderDecimal(r.taxItems[1].rate), "-1");
  EXPECT_EQ(r.totalCounter, 12);
  EXPECT_EQ(r.transactionTypeCounter, -1);
  EXPECT_EQ(RenderDecimal(r.totalAmount), "68.46");
  EXPECT_EQ(r.taxGroupRevision, -1);
  EXPECT_EQ(r.journal, "");
  EXPECT_EQ(r.businessName, "");
  EXPECT_EQ(r.tin, "true");
}

TEST(SdcResponse, MissingTaxItemsOrMalformedJsonFails) {
  EXPECT_THROW(ParseSdcResponse(R"({"requestedBy":"A"})"), InvoiceError);
  EXPECT_THROW(ParseSdcResponse(R"({"taxItems":{}})"), InvoiceError);
  EXPECT_THROW(ParseSdcResponse(R"({"taxItems":[1]})"), InvoiceError);
  EXPECT_THROW(ParseSdcResponse(R"({"taxItems":[)"), InvoiceError);
  EXPECT_THROW(ParseSdcResponse("[]"), InvoiceError);
  EXPECT_TRUE(ParseSdcResponse(R"({"taxItems":[]})").taxItems.empty());
}

TEST(SdcResponse, Renderings) {
  EXPECT_EQ(RenderDecimal({200000, 4}), "20");
  EXPECT_EQ(RenderDecimal({125000, 4}), "12.5");
  EXPECT_EQ(RenderDecimal({-10000, 4}), "-1");
  EXPECT_EQ(RenderDecimal({-5, 4}), "-0.0005");
  EXPECT_EQ(RenderDecimal({0, 4}), "0");
  EXPECT_EQ(RenderInteger(-1), "-1");
}

TEST(SdcErrorText, ModelStateEntriesOnTheirOwnLines) {
  ValueList codes{{"2310", "Invalid tax labels / Nevažeća poreska labela /(grupa)"}, {"2806", "Format"}};
  const std::string body = R"({"message":"Bad Request","modelState":[{"property":"x","errors":["2310"]}]})";
  EXPECT_EQ(BuildSdcErrorText(body, codes),
            "SDC:  error messages  |  PFR:  poruke o greškama\r\n"
            "\r\n"
            "\"message\":\"Bad Request\",\"modelState\":\n"
            "[\n"
            "\"property\":\"x\",\"errors\":[\"2310\"]\n"
            "]\r\n"
            "\r\n"
            "============================================================\r\n"
            "2310: Invalid tax labels / Nevažeća poreska labela /(grupa)\r\n");

  const std::string two =
      R"({"modelState":[{"property":"a","errors":["2800"]},{"property":"b","errors":["2806"]}]})";
  EXPECT_EQ(BuildSdcErrorText(two, codes),
            "SDC:  error messages  |  PFR:  poruke o greškama\r\n\r\n"
            "\"modelState\":\n[\n\"property\":\"a\",\"errors\":[\"2800\"],\n\"property\":\"b\",\"errors\":[\"2806\"]\n]"
            "\r\n\r\n" + std::string(60, '=') + "\r\n2806: Format\r\n");
}

TEST(SdcErrorText, OtherBodiesStayUnchanged) {
  EXPECT_EQ(BuildSdcErrorText("{\"ModelState\":[{}]} 1100", ValueList{{"1100", "Storage"}}),
            "SDC:  error messages  |  PFR:  poruke o greškama\r\n\r\n{\"ModelState\":[{}]} 1100\r\n\r\n" +
                std::string(60, '=') + "\r\n1100: Storage\r\n");
  EXPECT_EQ(BuildNoReplyText("Couldn't connect"),
            "SDC:  error messages  |  PFR:  poruke o greškama\n\nCouldn't connect");
}

TEST(ResultFiles, CsvFieldQuoting) {
  EXPECT_EQ(QuoteCsvField("plain"), "plain");
  EXPECT_EQ(QuoteCsvField(""), "");
  EXPECT_EQ(QuoteCsvField("Успешна фискализација"), "\"Успешна фискализација\"");
  EXPECT_EQ(QuoteCsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(QuoteCsvField("say \"x\""), "\"say \"\"x\"\"\"");
  EXPECT_EQ(QuoteCsvField("tab\there"), "\"tab\there\"");
  EXPECT_EQ(QuoteCsvField("Ђ-ПДВ"), "Ђ-ПДВ");
}

TEST(ResultFiles, Base64AndBaseName) {
  EXPECT_EQ(DecodeBase64("R0lGODlh"), "GIF89a");
  EXPECT_EQ(DecodeBase64("R0lG\r\nODlhAQ=="), std::string("GIF89a\x01", 7));
  EXPECT_EQ(BaseName("INV_0815.csv"), "INV_0815");
  EXPECT_EQ(BaseName("INV_NS_1.A.CSV"), "INV_NS_1.A");
  EXPECT_EQ(BaseName("NODOT"), "NODOT");
  // A QR code given as a data URI is decoded from its Base64 on, not from the letters of the prefix.
  EXPECT_EQ(QrCodeImageBytes("data:image/gif;base64,R0lGODlh"), "GIF89a");
  EXPECT_EQ(QrCodeImageBytes("R0lGODlh"), "GIF89a");
}

TEST(SdcResponse, NumbersBeyondAnyReceiptTakeTheirDefaults) {
  const TSdcResponse r = ParseSdcResponse(
      R"({"taxItems":[{"amount":1e300,"rate":922337203685478}],"totalAmount":1e300,"totalCounter":1e300})");
  EXPECT_TRUE(IsMinusOne(r.totalAmount));
  EXPECT_EQ(r.totalCounter, -1);
  EXPECT_TRUE(IsMinusOne(r.taxItems.at(0).amount));
  EXPECT_TRUE(IsMinusOne(r.taxItems.at(0).rate));
}

TEST(SendPause, GrowsWithTheItems) {
  EXPECT_EQ(TFormInvoice::PauseFor(1).count(), 2000);
  EXPECT_EQ(TFormInvoice::PauseFor(20).count(), 2000);
  EXPECT_EQ(TFormInvoice::PauseFor(21).count(), 2420);
  EXPECT_EQ(TFormInvoice::PauseFor(49).count(), 2980);
  EXPECT_EQ(TFormInvoice::PauseFor(50).count(), 4000);
  EXPECT_EQ(TFormInvoice::PauseFor(120).count(), 6400);
}

}  // namespace
}  // namespace telvano::invoice
