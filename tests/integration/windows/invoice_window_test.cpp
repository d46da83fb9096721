// The invoice window on the real invoice road: the caption of the working state, the file offered, the box
// after a click whatever the outcome, and an invoice still open neither offered nor forgotten.
#include "../../unit/windows/window_fakes.h"
#include "../invoice/invoice_fixture.h"

namespace telvano::invoice::testing {
namespace {

// The done text names this installation's output folder.
constexpr const char* kDone = "info:Invoice je obrađen!\n\nOdgovor je u ";

// The window and its boxes outlive the invoice module of InvoiceRoadTest, which lets go of its window when
// it ends.
struct InvoiceWindowParts {
  ::telvano::testing::RecordingFileView m_view;
  ::telvano::testing::RecordingInfo m_info;
};

class InvoiceWindowTest : public InvoiceWindowParts, public InvoiceRoadTest {
 protected:
  InvoiceWindowTest() {
    m_workingState.WorkTin = "100200300";
    m_workingState.WorkUnit = "PJ1";
    m_workingState.WorkEnv = "DEV";
    m_http->SetTimeouts({std::chrono::milliseconds(2000), std::chrono::seconds(1)});
    m_invoice->AttachView(m_view, m_info, m_workingState);
  }

  static std::string Good() { return InvoiceFile({",Kafa,10,1,kom,10,Ђ"}, {"Cash,,10"}, {"cashier,Pera"}); }
};

TEST_F(InvoiceWindowTest, ShowsTheCaptionAndTheFirstInvoiceAndFiscalisesItOnTheClick) {
  DropFile("INV_NS_2.csv", Good());
  DropFile("INV_NS_1.csv", Good());
  DropFile("CMD_1.csv", "HELLO-TELVANO,\r\n");
  m_view.operatorScript = [this] { m_view.ClickPanel1(); };
  m_invoice->ShowModal();
  ASSERT_GE(m_view.events.size(), 2u);
  EXPECT_EQ(m_view.events[0],
            "caption:TELVANO r10.0.023 | TESTSERIAL-100200300-PJ1-DEV-LPFR-" + m_sim->BaseUrl());
  EXPECT_EQ(m_view.events[1], "panel:INV_NS_1.csv");
  EXPECT_TRUE(Exists(Output("INV_NS_1_basic.csv")));
  EXPECT_FALSE(Exists(Output("INV_NS_2_basic.csv")));
  EXPECT_EQ(m_view.panelFile, "");
  EXPECT_EQ(m_info.shown, std::vector<std::string>{kDone + m_configuration.OutputDir});
}

TEST_F(InvoiceWindowTest, AnOpenInvoiceIsNotOfferedAndIsFinishedWhenTheWindowOpensLater) {
  m_sim->SetLookupAvailable(false);
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDropped());
  Process("INV_NS_1.csv", Good());
  ASSERT_TRUE(Exists(Input("INV_NS_1.csv")));  // its outcome is not known: it waits
  DropFile("INV_NS_2.csv", Good());

  m_invoice->FormShow();
  EXPECT_EQ(m_view.panelFile, "INV_NS_2.csv");

  m_sim->SetLookupAvailable(true);
  m_clock.Advance(std::chrono::minutes(2));
  m_invoice->FormShow();
  EXPECT_TRUE(Exists(Output("INV_NS_1_basic.csv")));
  EXPECT_FALSE(Exists(Input("INV_NS_1.csv")));
  EXPECT_EQ(m_view.panelFile, "INV_NS_2.csv");
  EXPECT_EQ(InvoiceRequests().size(), 1u);
}

}  // namespace
}  // namespace telvano::invoice::testing
