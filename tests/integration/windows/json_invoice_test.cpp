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
using ::telvano::testing::ReadFileBytes;
using ::telvano::testing::WriteFileBytes;

constexpr const char* kName = "INV_NS_7.json";
constexpr const char* kResponse = "INV_NS_7_resp.txt";

std::string Request(const std::string& total = "10.00") {
  return "{\"dateAndTimeOfIssue\":\"2024-03-01T08:15:02.000+01:00\",\"cashier\":\"Pera\",\"invoiceType\":\"Normal\","
         "\"transactionType\":\"Sale\",\"payment\":[{\"amount\":10.00,\"paymentType\":\"Cash\"}],"
         "\"items\":[{\"name\":\"Kafa\",\"quantity\":1,\"unitPrice\":10.00,\"labels\":[\"Ђ\"],\"totalAmount\":" +
         total + "}]}";
}

class JsonInvoiceTest : public InvoiceRoadTest {
 protected:
  JsonInvoiceTest() : m_json(m_configuration, *m_http, m_clock) {
    // A slow answer must outlast the read time-out without making the test slow.
    m_http->SetTimeouts({std::chrono::milliseconds(2000), std::chrono::seconds(1)});
    m_json.SetLog([this](const std::string& line) { m_logLines.push_back(line); });
    m_json.AttachView(m_view, m_info);
  }

  void ProcessJson(const std::string& content) {
    DropFile(kName, content);
    m_json.ProcessJsonInvoice(kName);
  }

  std::string Response() const { return Exists(Output(kResponse)) ? ReadOutput(kResponse) : "<none>"; }
  // The RequestId header of the last invoice posted.
  std::string LastRequestId() const {
    const auto requests = InvoiceRequests();
    return requests.empty() ? std::string() : requests.back().Header("RequestId").value_or("<none>");
  }
  std::string SignedAnswer() const { return m_sim->AnswerFor(LastRequestId()).value_or("<none>"); }
  std::size_t Posts() const { return InvoiceRequests().size(); }
  std::size_t Lookups() const {
    std::size_t count = 0;
    for (const auto& request : m_sim->Requests()) count += request.path.rfind("/api/v3/invoices/", 0) == 0;
    return count;
  }
  bool NothingLeft() const {
    return !Exists(Input(kName)) && !Exists(Archive(kName)) && !Exists(Archive(std::string(kName) + ".pending"));
  }

  TFormInvoiceJSON m_json;
  ::telvano::testing::RecordingFileView m_view;
  ::telvano::testing::RecordingInfo m_info;
  std::vector<std::string> m_logLines;
};

TEST_F(JsonInvoiceTest, ASignedAnswerIsTheResponseAndNothingStaysBehind) {
  ProcessJson(Request());
  const std::string id = LastRequestId();
  EXPECT_EQ(id.size(), 32u);
  EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(LastRequestBody(), Request());  // posted unchanged
  EXPECT_EQ(Response(), SignedAnswer() + "\r\n");
  EXPECT_EQ(Response().substr(0, 3) == "\xEF\xBB\xBF", false);
  EXPECT_TRUE(NothingLeft());
  EXPECT_TRUE(m_logLines.empty());
  EXPECT_EQ(m_sim->TotalCounter(), 1u);
  EXPECT_EQ(Count("inv_request"), 0);  // nothing is stored
}

TEST_F(JsonInvoiceTest, ARefusalIsTheResponseAsTheProcessorGaveIt) {
  ProcessJson(Request("11.00"));  // the item's total does not match: 2805
  const std::string response = Response();
  EXPECT_EQ(response.rfind("{\"message\":\"Bad Request\"", 0), 0u) << response;
  EXPECT_NE(response.find("2805"), std::string::npos);
  EXPECT_EQ(response.substr(response.size() - 2), "\r\n");
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(Lookups(), 0u);
  EXPECT_EQ(m_logLines.size(), 1u);
}

TEST_F(JsonInvoiceTest, WithTheProcessorUnreachableTheTransportsErrorIsTheResponse) {
  m_workingState.WorkUrl = "http://127.0.0.1:1";
  ProcessJson(Request());
  const std::string response = Response();
  EXPECT_GT(response.size(), 2u);
  EXPECT_EQ(response.substr(response.size() - 2), "\r\n");
  EXPECT_EQ(response.find("Ishod"), std::string::npos);
  EXPECT_NE(response.find("127.0.0.1"), std::string::npos) << response;
  EXPECT_TRUE(NothingLeft());
}

struct LostAnswer {
  const char* name;
  pfrsim::Fault fault;
};

void PrintTo(const LostAnswer& lost, std::ostream* out) { *out << lost.name; }

class JsonLostAnswerTest : public JsonInvoiceTest, public ::testing::WithParamInterface<LostAnswer> {};

TEST_P(JsonLostAnswerTest, TheSignedAnswerIsLookedUpAndIsTheResponse) {
  m_sim->QueueFault("/api/v3/invoices", GetParam().fault);
  ProcessJson(Request());
  EXPECT_EQ(Response(), SignedAnswer() + "\r\n");
  EXPECT_EQ(Posts(), 1u);
  EXPECT_EQ(m_sim->TotalCounter(), 1u);
  EXPECT_EQ(Lookups(), 1u);
  EXPECT_TRUE(NothingLeft());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, JsonLostAnswerTest,
    ::testing::Values(LostAnswer{"SlowerThanTheReadTimeOut", pfrsim::Fault::SignedThenDelayed(10000)},
                      LostAnswer{"DroppedMidAnswer", pfrsim::Fault::SignedThenDropped()},
                      LostAnswer{"CutShort", pfrsim::Fault::SignedThenTruncated()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JsonInvoiceTest, ALostRequestThatWasNotSignedAnswersWithTheTransportsError) {
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Dropped());
  ProcessJson(Request());
  const std::string response = Response();
  EXPECT_EQ(response.find("Ishod"), std::string::npos) << response;
  EXPECT_NE(response.front(), '{');
  EXPECT_EQ(m_sim->TotalCounter(), 0u);
  EXPECT_EQ(Lookups(), 1u);  // "not found" at once
  EXPECT_TRUE(NothingLeft());
}

TEST_F(JsonInvoiceTest, AnUnknownOutcomeHoldsTheInputUntilTheProcessorTellsAndIsNeverSentAgain) {
  m_sim->SetLookupAvailable(false);
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::SignedThenDropped());
  ProcessJson(Request());
  const std::string id = LastRequestId();
  EXPECT_EQ(Response().rfind("Ishod računa još nije poznat", 0), 0u) << Response();
  EXPECT_NE(Response().find("RequestId: " + id), std::string::npos);
  EXPECT_TRUE(Exists(Input(kName)));
  EXPECT_TRUE(m_json.IsOpen(kName));
  EXPECT_EQ(Lookups(), 3u);

  // The operator presses again, and opens the window again: the processor is asked, nothing is sent.
  m_json.ProcessJsonInvoice(kName);
  m_json.FormShow();
  EXPECT_EQ(m_view.panelFile, "");  // the waiting input is not offered
  EXPECT_EQ(Posts(), 1u);
  EXPECT_TRUE(m_json.IsOpen(kName));

  m_sim->SetLookupAvailable(true);
  m_json.FormShow();
  EXPECT_EQ(Response(), m_sim->AnswerFor(id).value_or("<none>") + "\r\n");
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(Posts(), 1u);
  EXPECT_EQ(m_sim->TotalCounter(), 1u);
}

TEST_F(JsonInvoiceTest, WhenTheProcessorFindsNothingTheWaitingInputGoesOutAsANewInvoice) {
  m_sim->SetLookupAvailable(false);
  m_sim->QueueFault("/api/v3/invoices", pfrsim::Fault::Dropped());
  ProcessJson(Request());
  const std::string firstId = LastRequestId();
  ASSERT_TRUE(m_json.IsOpen(kName));

  m_sim->SetLookupAvailable(true);
  m_json.FormShow();  // the processor knows nothing of it: the input is offered again
  EXPECT_EQ(Response().rfind("PFR nije potpisao račun", 0), 0u) << Response();
  EXPECT_EQ(m_view.panelFile, kName);
  m_view.ClickPanel1();
  EXPECT_NE(LastRequestId(), firstId);
  EXPECT_EQ(Response(), SignedAnswer() + "\r\n");
  EXPECT_EQ(Posts(), 2u);
  EXPECT_EQ(m_sim->TotalCounter(), 1u);
  EXPECT_TRUE(NothingLeft());
}

TEST_F(JsonInvoiceTest, AnInvoiceSentBeforeACrashIsFinishedWhenTheWindowOpens) {
  // What a run that ended between sending and writing the response leaves behind.
  const std::string id = "0123456789abcdef0123456789abcdef";
  DropFile(kName, Request());
  WriteFileBytes(Archive(kName), Request());
  WriteFileBytes(Archive(std::string(kName) + ".pending"), id + "\r\n");
  m_http->CallLPFR(sdc::kOpInvoices, kName, id);
  ASSERT_EQ(m_http->ResponseCode, 200);

  m_json.FormShow();
  EXPECT_EQ(Response(), m_sim->AnswerFor(id).value_or("<none>") + "\r\n");
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(Posts(), 1u);
}

TEST_F(JsonInvoiceTest, ASignedAnswerThatCannotBeWrittenIsAskedForAgainLater) {
  const std::string output = m_configuration.OutputDir;
  fs::rename(output, output + ".away");
  ProcessJson(Request());
  const std::string id = LastRequestId();
  EXPECT_TRUE(m_json.IsOpen(kName));
  EXPECT_TRUE(Exists(Input(kName)));
  EXPECT_FALSE(m_logLines.empty());

  fs::rename(output + ".away", output);
  m_json.FormShow();
  EXPECT_EQ(Response(), m_sim->AnswerFor(id).value_or("<none>") + "\r\n");
  EXPECT_TRUE(NothingLeft());
  EXPECT_EQ(Posts(), 1u);
}

TEST_F(JsonInvoiceTest, WhatCannotBeSentIsSetAsideWithTheReason) {
  const struct {
    const char* name;
    std::function<void(const std::string& path)> make;
    std::string response;
  } cases[] = {
      {"INV_NS_fifo.json", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
       "Nije običan fajl / Not a regular file: INV_NS_fifo.json\r\n"},
      {"INV_NS_big.json", [](const std::string& path) { WriteFileBytes(path, std::string(kMaxInvoiceFileBytes + 1, ' ')); },
       std::string(kMessageFileTooLarge) + "\r\n"},
  };
  for (const auto& c : cases) {
    c.make(Input(c.name));
    m_json.ProcessJsonInvoice(c.name);
    EXPECT_EQ(ReadOutput(TFormInvoiceJSON::ResponseFileName(c.name)), c.response) << c.name;
    EXPECT_FALSE(Exists(Input(c.name))) << c.name;
    EXPECT_TRUE(fs::exists(fs::symlink_status(Archive(c.name)))) << c.name;
  }
  EXPECT_EQ(Posts(), 0u);
}

TEST_F(JsonInvoiceTest, TheWindowOffersTheJsonInvoiceKeepsItsCaptionAndSaysWhereTheAnswerIs) {
  DropFile("INV_NS_1.csv", "not offered here");
  DropFile(kName, Request());
  m_view.operatorScript = [this] {
    EXPECT_EQ(m_view.panelFile, kName);
    m_view.ClickPanel1();
  };
  m_json.ShowModal();
  const std::vector<std::string> events = {"panel:INV_NS_7.json", "exec", "panel:"};
  EXPECT_EQ(m_view.events, events);  // no caption: it stays "FormInvoiceJSON"
  EXPECT_EQ(m_info.shown, std::vector<std::string>{"info:Invoice JSON je obrađen!\n\nOdgovor je u "
                                                   "\\TELVANO\\ExchData\\SDC_Out"});
  EXPECT_EQ(Response(), SignedAnswer() + "\r\n");
}

}  // namespace
}  // namespace telvano::invoice::testing
