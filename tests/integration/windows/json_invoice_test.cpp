// JSON invoice files against the simulated processor: the answer goes back as it came, a refusal or a
// transport failure is the response text, and an answer lost on the way is asked for by its request id,
// never reported as an answer and never sent twice.
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "../../unit/windows/window_fakes.h"
#include "../invoice/invoice_fixture.h"
#include "invoice/tform_invoice_json.h"

namespace telvano::invoice::testing {
namespace {

namespace fs = std::filesystem;
using ::telvano::testing::WriteFileBytes;

constexpr const char* kName = "INV_NS_7.json";
constexpr const char* kPending = "INV_NS_7.json.pending";

std::string Request(const std::string& total = "10.00") {
  return "{\"dateAndTimeOfIssue\":\"2024-03-01T08:15:02.000+01:00\",\"cashier\":\"Pera\",\"invoiceType\":"
         "\"Normal\","
         "\"transactionType\":\"Sale\",\"payment\":[{\"amount\":10.00,\"paymentType\":\"Cash\"}],"
         "\"items\":[{\"name\":\"Kafa\",\"quantity\":1,\"unitPrice\":10.00,\"labels\":[\"Ђ\"],"
         "\"totalAmount\":" +
         total + "}]}";
}

class JsonInvoiceTest : public InvoiceRoadTest {
 protected:
  JsonInvoiceTest() : m_json(m_configuration, *m_http, m_clock) {
    m_http->SetTimeouts({std::chrono::milliseconds(2000), std::chrono::seconds(1), std::chrono::seconds(2)});
    m_json.AttachView(m_view, m_info);
  }

  void ProcessJson(const std::string& content) {
    DropFile(kName, content);
    m_json.ProcessJsonInvoice(kName);
  }
  std::string Response() const {
    return Exists(Output("INV_NS_7_resp.txt")) ? ReadOutput("INV_NS_7_resp.txt") : "";
  }
  std::string LastRequestId() const {
    return InvoiceRequests().back().Header("RequestId").value_or("<none>");
  }
  std::string AnswerFor(const std::string& id) const {
    return m_sim->AnswerFor(id).value_or("<none>") + "\r\n";
  }
  std::size_t Posts() const { return InvoiceRequests().size(); }
  std::size_t Lookups() const {
    std::size_t count = 0;
    for (const auto& request : m_sim->Requests()) count += request.path.rfind("/api/v3/invoices/", 0) == 0;
    return count;
  }
  bool NothingLeft() const {
    return !Exists(Input(kName)) && !Exists(Archive(kName)) && !Exists(Archive(kPending));
  }

  // The window and its boxes outlive the module, which lets go of its window when it ends.
  ::telvano::testing::RecordingFileView m_view;
  ::telvano::testing::RecordingInfo m_info;
  TFormInvoiceJSON m_json;
};

struct Answer {
  const char* name;
  std::optional<pfrsim::Fault> fault;
  bool unreachable;
  std::string request;
  bool signedAnswer;     // the response is the answer signed under the request id
  std::string contains;  // otherwise the response holds this
  std::size_t lookups;
};

void PrintTo(const Answer& answer, std::ostream* out) { *out << answer.name; }

class JsonAnswerTest : public JsonInvoiceTest, public ::testing::WithParamInterface<Answer> {};

TEST_P(JsonAnswerTest, TheResponseIsWhatTheProcessorSaidAndNothingStaysBehind) {
  const Answer& answer = GetParam();
  if (answer.fault) m_sim->QueueFault("/api/v3/invoices", *answer.fault);
  if (answer.unreachable) m_workingState.WorkUrl = "http://127.0.0.1:1";
  ProcessJson(answer.request);
  const std::string response = Response();
  ASSERT_GE(response.size(), 2u);
  EXPECT_EQ(response.substr(response.size() - 2), "\r\n");
  if (answer.signedAnswer) {
    const std::string id = LastRequestId();
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(LastRequestBody(), answer.request);  // posted unchanged
    EXPECT_EQ(response, AnswerFor(id));
    EXPECT_EQ(m_sim->TotalCounter(), 1u);
  } else {
    EXPECT_NE(response.find(answer.contains), std::string::npos) << response;
    EXPECT_EQ(m_sim->TotalCounter(), 0u);
  }
  EXPECT_EQ(Lookups(), answer.lookups);
  EXPECT_LE(Posts(), 1u);
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(Count("inv_request"), 0);  // nothing is stored
}

INSTANTIATE_TEST_SUITE_P(
    Answers, JsonAnswerTest,
    ::testing::Values(
        Answer{"Signed", {}, false, Request(), true, "", 0},
        Answer{"Refused", {}, false, Request("11.00"), false, "{\"message\":\"Bad Request\"", 0},
        Answer{"Unreachable", {}, true, Request(), false, "127.0.0.1", 0},
        // Slower than the read time-out: the transport gives up some 6 s after the request went out.
        Answer{"SignedSlowerThanTheReadTimeOut", pfrsim::Fault::SignedThenDelayed(10000), false, Request(),
               true, "", 1},
        Answer{"SignedDroppedMidAnswer", pfrsim::Fault::SignedThenDropped(), false, Request(), true, "", 1},
        Answer{"SignedCutShort", pfrsim::Fault::SignedThenTruncated(), false, Request(), true, "", 1},
        // "Not found" counts once the request's deadline (2 s + 2 s here) has passed: the third lookup, 5 s on.
        Answer{"DroppedUnsigned", pfrsim::Fault::Dropped(), false, Request(), false, "Empty reply", 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JsonInvoiceTest, AnUnknownOutcomeHoldsTheInputUntilTheProcessorTellsAndIsNeverSentAgain) {
  m_sim->SetLookupAvailable(false);
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDropped());
  ProcessJson(Request());
  const std::string id = LastRequestId();
  EXPECT_EQ(Response().rfind("Ishod računa još nije poznat", 0), 0u) << Response();
  EXPECT_NE(Response().find("RequestId: " + id), std::string::npos);
  EXPECT_TRUE(Exists(Input(kName)));

  // Pressed again, the window opened again: the processor is asked, nothing is sent or offered.
  m_json.ProcessJsonInvoice(kName);
  m_json.FormShow();
  EXPECT_EQ(m_view.panelFile, "");
  EXPECT_TRUE(m_json.IsOpen(kName));

  m_sim->SetLookupAvailable(true);
  m_json.FormShow();
  EXPECT_EQ(Response(), AnswerFor(id));
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(Posts(), 1u);
}

TEST_F(JsonInvoiceTest, WhenTheProcessorFindsNothingTheWaitingInputGoesOutAsANewInvoice) {
  DropFile("INV_NS_1.csv", "not offered by this window");
  m_sim->SetLookupAvailable(false);
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Dropped());
  ProcessJson(Request());
  const std::string firstId = LastRequestId();

  m_sim->SetLookupAvailable(true);
  m_json.FormShow();
  EXPECT_EQ(Response().rfind("PFR nije potpisao račun", 0), 0u) << Response();
  EXPECT_EQ(m_view.panelFile, kName);
  m_view.ClickPanel1();
  EXPECT_NE(LastRequestId(), firstId);
  EXPECT_EQ(Response(), AnswerFor(LastRequestId()));
  EXPECT_EQ(m_sim->TotalCounter(), 1u);
  EXPECT_TRUE(NothingLeft());
  for (const std::string& event : m_view.events)
    EXPECT_NE(event.rfind("caption:", 0), 0u);  // "FormInvoiceJSON"
  EXPECT_EQ(m_info.shown, std::vector<std::string>{"info:Invoice JSON je obrađen!\n\nOdgovor je u " +
                                                   m_configuration.OutputDir});
}

TEST_F(JsonInvoiceTest, WhatARunLeftOpenOrCouldNotWriteIsFinishedWhenTheWindowOpens) {
  // A run that ended between sending and writing the response.
  const std::string id = "0123456789abcdef0123456789abcdef";
  DropFile(kName, Request());
  WriteFileBytes(Archive(kName), Request());
  WriteFileBytes(Archive(kPending), id + "\r\n");
  m_http->CallLPFR(sdc::kOpInvoices, kName, id);
  m_json.FormShow();
  EXPECT_EQ(Response(), AnswerFor(id));
  EXPECT_TRUE(NothingLeft());

  // SDC_Out cannot take the signed answer: it stays open and is asked for again.
  const std::string output = m_configuration.OutputDir;
  fs::rename(output, output + ".away");
  ProcessJson(Request());
  EXPECT_TRUE(m_json.IsOpen(kName));
  fs::rename(output + ".away", output);
  m_json.FormShow();
  EXPECT_EQ(Response(), AnswerFor(LastRequestId()));
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(Posts(), 2u);
}

TEST_F(JsonInvoiceTest, WhatCannotBeSentIsSetAsideWithTheReason) {
  ASSERT_EQ(::mkfifo(Input("INV_NS_fifo.json").c_str(), 0600), 0);
  WriteFileBytes(Input("INV_NS_big.json"), std::string(kMaxInvoiceFileBytes + 1, ' '));
  for (const auto& [name, response] :
       {std::pair<std::string, std::string>{"INV_NS_fifo.json",
                                            "Nije običan fajl / Not a regular file: INV_NS_fifo.json\r\n"},
        {"INV_NS_big.json", std::string(kMessageFileTooLarge) + "\r\n"}}) {
    m_json.ProcessJsonInvoice(name);
    EXPECT_EQ(ReadOutput(TFormInvoiceJSON::ResponseFileName(name)), response);
    EXPECT_TRUE(fs::exists(fs::symlink_status(Archive(name))));
  }
  EXPECT_EQ(Posts(), 0u);
}

}  // namespace
}  // namespace telvano::invoice::testing
