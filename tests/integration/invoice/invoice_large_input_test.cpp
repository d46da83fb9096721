// Big or odd input never crashes or hangs the handler: the invoice is fiscalised or fails with a clear text.
#include "invoice_fixture.h"

namespace telvano::invoice::testing {
namespace {

const std::string kHeading = "SDC:  error messages  |  PFR:  poruke o greškama";

class LargeInput : public InvoiceRoadTest {};

TEST_F(LargeInput, AnswerAbove16MegabytesTakesTheFailurePath) {
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Error(200, std::string(17u << 20, 'x')));
  Process("INV_NS_huge.csv", InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,10"}, {}));
  EXPECT_EQ(ErrorText("INV_NS_huge"), kHeading + "\n\n" + sdc::kResponseTooLargeText);
  EXPECT_EQ(Count("inv_request"), 0);
  EXPECT_TRUE(Exists(Archive("INV_NS_huge.csv")));
}

TEST_F(LargeInput, TenThousandItemsAreStoredSentAndRefusedCleanly) {
  std::string text = "BLOCK_ITEMS\r\n";
  for (int i = 0; i < 10000; ++i) text += ",A" + std::to_string(i) + ",1,1,kom,1,Ђ\r\n";
  text += "E-O-B\r\nBLOCK_PAYMENTS\r\nCash,,10000\r\nE-O-B\r\nBLOCK_OTHERS\r\nE-O-B\r\n";
  Process("INV_NS_10k.csv", text);
  const std::string error = ErrorText("INV_NS_10k");
  EXPECT_EQ(error.substr(0, kHeading.size()), kHeading);
  EXPECT_NE(error.find("2808: List Too Long / Lista predugačka"), std::string::npos);
  EXPECT_NE(LastRequestBody().find("\"name\":\"A9999\""), std::string::npos);
  EXPECT_EQ(Count("inv_sale_items"), 0);
}

TEST_F(LargeInput, TwentyMegabyteFileWithLinesOutsideTheBlocks) {
  std::string text;
  const std::string filler = "komentar " + std::string(90, '-') + "\r\n";
  while (text.size() < (20u << 20)) text += filler;
  text += InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,10"}, {"cashier,Pera"});
  Process("INV_NS_20mb.csv", text);
  EXPECT_TRUE(Exists(Output("INV_NS_20mb_basic.csv")));
  EXPECT_FALSE(Exists(Input("INV_NS_20mb.csv")));
}

}  // namespace
}  // namespace telvano::invoice::testing
