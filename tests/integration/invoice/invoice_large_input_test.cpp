// Big or odd input never crashes or hangs the handler: the invoice is fiscalised or fails with a clear text.
#include "invoice_fixture.h"

namespace telvano::invoice::testing {
namespace {

const std::string kHeading = "SDC:  error messages  |  PFR:  poruke o greškama";

class LargeInput : public InvoiceRoadTest {};

TEST_F(LargeInput, AnswerAbove16MegabytesTakesTheFailurePath) {
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Error(200, std::string(17u << 20, 'x')));
  Process("INV_NS_huge.csv", InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,10"}, {}));
  // The processor may have signed behind the answer that cannot be read: held until it says it did not.
  EXPECT_TRUE(m_invoice->HoldsInput("INV_NS_huge.csv"));
  m_clock.Advance(m_http->RequestDeadline() + std::chrono::seconds(61));
  m_invoice->ResolveOpenInvoices();
  EXPECT_EQ(ErrorText("INV_NS_huge"), kHeading + "\n\n" + sdc::kResponseTooLargeText);
  EXPECT_EQ(Count("inv_request"), 0);
  EXPECT_TRUE(Exists(Archive("INV_NS_huge.csv")));
}

TEST_F(LargeInput, AbsurdInvoicesAreRefusedBeforeAnythingIsStoredOrSent) {
  std::string items = "BLOCK_ITEMS\r\n";
  for (int i = 0; i < 1001; ++i) items += ",A" + std::to_string(i) + ",1,1,kom,1,Ђ\r\n";
  items += "E-O-B\r\nBLOCK_PAYMENTS\r\nCash,,1001\r\nE-O-B\r\nBLOCK_OTHERS\r\nE-O-B\r\n";
  std::string big;
  const std::string filler = "komentar " + std::string(90, '-') + "\r\n";
  while (big.size() < (20u << 20)) big += filler;
  big += InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,10"}, {"cashier,Pera"});
  const struct {
    const char* name;
    const std::string& content;
    const char* message;
  } cases[] = {{"INV_NS_1001", items, kMessageTooManyItems}, {"INV_NS_20mb", big, kMessageFileTooLarge}};
  for (const auto& c : cases) {
    Process(std::string(c.name) + ".csv", c.content);
    EXPECT_EQ(ErrorText(c.name), c.message);
    EXPECT_TRUE(Exists(Archive(std::string(c.name) + ".csv")));
  }
  EXPECT_EQ(Count("inv_sale_items"), 0);
  EXPECT_TRUE(InvoiceRequests().empty());
}

TEST_F(LargeInput, AThousandItemsAreStillSigned) {
  std::string text = "BLOCK_ITEMS\r\n";
  for (int i = 0; i < 1000; ++i) text += ",A" + std::to_string(i) + ",1,1,kom,1,Ђ\r\n";
  text += "E-O-B\r\nBLOCK_PAYMENTS\r\nCash,,1000\r\nE-O-B\r\nBLOCK_OTHERS\r\nE-O-B\r\n";
  Process("INV_NS_1000.csv", text);
  EXPECT_TRUE(Exists(Output("INV_NS_1000_basic.csv"))) << ErrorText("INV_NS_1000");
}

}  // namespace
}  // namespace telvano::invoice::testing
