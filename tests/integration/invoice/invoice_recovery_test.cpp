// A signed invoice is never lost and never signed twice: lost answers are looked up, open invoices are
// finished later, and delivery that fails is tried again without undoing anything.
#include "invoice_fixture.h"

#include <chrono>
#include <fstream>

namespace telvano::invoice::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class InvoiceRecoveryTest : public InvoiceRoadTest {
 protected:
  InvoiceRecoveryTest() {
    // The processor's slow answer must outlast the read time-out without making the test slow.
    m_http->SetTimeouts({std::chrono::milliseconds(2000), std::chrono::seconds(1)});
  }

  std::string Good(const std::string& item = "Kafa") const {
    return InvoiceFile({"," + item + ",10,1,kom,10,Ђ"}, {"Cash,,10"}, {"cashier,Pera"});
  }

  // Every pause of the open invoices is over.
  void ResolveLater() {
    m_clock.Advance(std::chrono::minutes(2));
    m_invoice->ResolveOpenInvoices();
  }

  void ExpectDelivered(const std::string& base) {
    EXPECT_TRUE(Exists(Output(base + "_basic.csv"))) << ErrorText(base);
    EXPECT_FALSE(Exists(Output(base + "_err.txt")));
    EXPECT_FALSE(Exists(Input(base + ".csv")));
    EXPECT_EQ(Count("inv_flight"), 0);
  }
};

struct LostAnswer {
  const char* name;
  pfrsim::Fault fault;
};

void PrintTo(const LostAnswer& lost, std::ostream* out) { *out << lost.name; }

class LostAnswerTest : public InvoiceRecoveryTest, public ::testing::WithParamInterface<LostAnswer> {};

TEST_P(LostAnswerTest, TheSignedInvoiceIsLookedUpAndDeliveredOnce) {
  m_sim->QueueFault("/api/v3/invoices", GetParam().fault);
  Process("INV_NS_lost.csv", Good());
  ExpectDelivered("INV_NS_lost");
  EXPECT_EQ(m_sim->TotalCounter(), 1u);
  EXPECT_EQ(InvoiceRequests().size(), 1u);  // sent once, never again
  std::size_t lookups = 0;
  for (const auto& request : m_sim->Requests()) lookups += request.path.rfind("/api/v3/invoices/", 0) == 0;
  EXPECT_EQ(lookups, 1u);  // the lost answer came from the lookup
  EXPECT_EQ(Count("inv_response"), 1);
  EXPECT_EQ(ReadOutput("INV_NS_lost_basic.csv").find("totalCounter,1\r\n") != std::string::npos, true);
}

INSTANTIATE_TEST_SUITE_P(Faults, LostAnswerTest,
                         ::testing::Values(LostAnswer{"SlowerThanTheReadTimeOut", pfrsim::Fault::SignedThenDelayed(3000)},
                                           LostAnswer{"DroppedMidAnswer", pfrsim::Fault::SignedThenDropped()},
                                           LostAnswer{"TruncatedBody", pfrsim::Fault::SignedThenTruncated()}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InvoiceRecoveryTest, AnUnknownOutcomeHoldsTheInputUntilTheProcessorTells) {
  struct Case {
    const char* base;
    pfrsim::Fault fault;
    bool signedByProcessor;
  } cases[] = {{"INV_NS_signed", pfrsim::Fault::SignedThenDropped(), true},
               {"INV_NS_unsigned", pfrsim::Fault::Dropped(), false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.base);
    m_sim->SetLookupAvailable(false);
    m_sim->QueueFault("/api/v3/invoices", c.fault);
    const std::uint32_t counterBefore = m_sim->TotalCounter();
    Process(std::string(c.base) + ".csv", Good());
    // The POS is told that the outcome is being resolved; the input waits, nothing is sent again.
    EXPECT_EQ(ErrorText(c.base).substr(0, std::string(kMessageOutcomeUnknown).size()), kMessageOutcomeUnknown);
    EXPECT_TRUE(Exists(Input(std::string(c.base) + ".csv")));
    EXPECT_TRUE(m_invoice->HoldsInput(std::string(c.base) + ".csv"));
    m_invoice->ProcessCsvInvoice(std::string(c.base) + ".csv");
    m_invoice->ResolveOpenInvoices();  // too early: the pause is not over, nothing is asked
    EXPECT_EQ(Count("inv_flight"), 1);

    m_sim->SetLookupAvailable(true);
    ResolveLater();
    EXPECT_EQ(Count("inv_flight"), 0);
    EXPECT_FALSE(m_invoice->HoldsInput(std::string(c.base) + ".csv"));
    if (c.signedByProcessor) {
      ExpectDelivered(c.base);
    } else {
      // Certainly not signed: the rows are gone and the POS, told to wait, now gets the plain failure with
      // the reason of the request itself; the input lies in the archive and may be sent again.
      EXPECT_EQ(Count("inv_request"), 1);  // only the signed invoice of the first case
      EXPECT_FALSE(Exists(Input(std::string(c.base) + ".csv")));
      EXPECT_TRUE(Exists(Archive(std::string(c.base) + ".csv")));
      EXPECT_NE(ErrorText(c.base).find("Empty reply"), std::string::npos) << ErrorText(c.base);
      EXPECT_EQ(ErrorText(c.base).find(kMessageOutcomeUnknown), std::string::npos);
    }
    EXPECT_EQ(m_sim->TotalCounter(), counterBefore + (c.signedByProcessor ? 1 : 0));
  }
  EXPECT_EQ(InvoiceRequests().size(), 2u);  // each sent once
}

TEST_F(InvoiceRecoveryTest, UndeliverableResultsAreRetriedAndNeverUndone) {
  // SDC_Out becomes a plain file: no result file can be written.
  const std::string saved = m_configuration.OutputDir + ".saved";
  fs::rename(m_configuration.OutputDir, saved);
  { std::ofstream(m_configuration.OutputDir) << "not a folder"; }
  Process("INV_NS_out.csv", Good());
  EXPECT_EQ(Count("inv_response"), 1);
  EXPECT_EQ(Count("inv_flight"), 1);
  EXPECT_TRUE(Exists(Input("INV_NS_out.csv")));
  m_invoice->ProcessCsvInvoice("INV_NS_out.csv");  // held: not answered "already fiscalised"
  ResolveLater();
  EXPECT_EQ(Count("inv_flight"), 1);

  fs::remove(m_configuration.OutputDir);
  fs::rename(saved, m_configuration.OutputDir);
  ResolveLater();
  ExpectDelivered("INV_NS_out");
  EXPECT_EQ(m_sim->TotalCounter(), 1u);
}

TEST_F(InvoiceRecoveryTest, ChecksBeforeSendingFailCleanly) {
  // A base name that leaves no room for "_journal.txt" and a missing archive fail before anything is sent
  // and leave no file behind.
  const std::string longName = "INV_NS_" + std::string(240, 'x') + ".csv";
  Process(longName, Good());
  EXPECT_EQ(Count("inv_request"), 0);
  fs::rename(m_configuration.ArchiveDir, m_configuration.ArchiveDir + ".gone");
  Process("INV_NS_noarchive.csv", Good());
  EXPECT_NE(ErrorText("INV_NS_noarchive").find("_req.json"), std::string::npos);
  EXPECT_EQ(Count("inv_request"), 0);
  EXPECT_EQ(Count("inv_flight"), 0);
  EXPECT_TRUE(InvoiceRequests().empty());
}

}  // namespace
}  // namespace telvano::invoice::testing
