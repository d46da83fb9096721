#include "invoice_fixture.h"

#include <algorithm>

namespace telvano::invoice::testing {

using ::telvano::testing::ReadFileBytes;
using ::telvano::testing::WriteFileBytes;

void RecordingPrinter::PrintJournal(const std::string& uuid, const std::string& base, const std::string& modelText,
                                    const std::string& printerPort, const db::Decimal& changeAmount,
                                    bool signatureLine) {
  Call call{uuid, base, modelText, printerPort, changeAmount, signatureLine, false, false};
  call.journalPresent = std::filesystem::exists(m_configuration.OutputDir + "/" + base + "_journal.txt");
  call.urlPresent = std::filesystem::exists(m_configuration.OutputDir + "/" + base + "_vurl.txt");
  calls.push_back(call);
  if (failNext) {
    failNext = false;
    throw std::runtime_error("printer failed");
  }
}

InvoiceRoadTest::InvoiceRoadTest() : m_db(m_testDatabase.Db()), m_printer(m_configuration) {
  const auto exchange = m_root.Path() / "ExchData";
  m_configuration.InputDir = (exchange / "SDC_Inp").string();
  m_configuration.OutputDir = (exchange / "SDC_Out").string();
  m_configuration.ArchiveDir = (exchange / "Archive").string();
  m_configuration.LogsDir = (m_root.Path() / "Logs").string();
  for (const std::string& dir : {m_configuration.InputDir, m_configuration.OutputDir, m_configuration.ArchiveDir,
                                 m_configuration.LogsDir}) {
    std::filesystem::create_directories(dir);
  }
  pfrsim::SimOptions options;
  options.pinEntered = true;
  m_sim = std::make_unique<pfrsim::PfrSimulator>(options);
  m_sim->Start();
  m_workingState.WorkSerial = "TESTSERIAL";
  m_workingState.WorkUrl = m_sim->BaseUrl();
  m_workingState.WorkIsLpfr = true;
  m_workingState.WorkPin = "1234";
  m_http = std::make_unique<sdc::TFormHTTP>(m_configuration, m_workingState);
  m_http->SetTimeouts({std::chrono::milliseconds(2000), std::chrono::seconds(10)});
  // One answered request proves the simulator's accept loop runs: stopping it before that point can leave
  // the listener thread waiting for ever.
  m_http->CallLPFR(sdc::kOpAttention, "", "");
  if (m_http->ResponseCode != 200) throw std::runtime_error("simulator not answering: " + m_http->ErrorText);
  m_invoice = std::make_unique<TFormInvoice>(m_configuration, m_db, *m_http, m_clock, m_printer);
}

InvoiceRoadTest::~InvoiceRoadTest() { m_sim->Stop(); }

void InvoiceRoadTest::DropFile(const std::string& name, const std::string& content) {
  WriteFileBytes(Input(name), content);
}

void InvoiceRoadTest::Process(const std::string& name, const std::string& content) {
  DropFile(name, content);
  m_invoice->ProcessCsvInvoice(name);
}

std::string InvoiceRoadTest::ReadOutput(const std::string& name) const { return ReadFileBytes(Output(name)); }

std::string InvoiceRoadTest::ErrorText(const std::string& base) const {
  const std::string bytes = ReadOutput(base + "_err.txt");
  EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  EXPECT_GE(bytes.size(), 3u + 21u + 2u);
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
  // BOM, "yyyy-mm-dd hh:nn:ss" CR LF, text, CR LF.
  return bytes.substr(3 + 21, bytes.size() - 3 - 21 - 2);
}

std::vector<pfrsim::LoggedRequest> InvoiceRoadTest::InvoiceRequests() const {
  std::vector<pfrsim::LoggedRequest> result;
  for (const auto& request : m_sim->Requests()) {
    if (request.path == "/api/v3/invoices") result.push_back(request);
  }
  return result;
}

std::string InvoiceRoadTest::LastRequestBody() const {
  const auto requests = InvoiceRequests();
  return requests.empty() ? std::string() : requests.back().body;
}

std::int64_t InvoiceRoadTest::Count(const std::string& table) {
  return m_db.QueryFirst("select count(*) from " + table)->operator[](0).AsInt64();
}

std::vector<std::string> InvoiceRoadTest::ArchiveFiles() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(m_configuration.ArchiveDir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string InvoiceFile(const std::vector<std::string>& items, const std::vector<std::string>& payments,
                        const std::vector<std::string>& others) {
  std::string text = "BLOCK_ITEMS\r\n";
  for (const auto& line : items) text += line + "\r\n";
  text += "E-O-B\r\nBLOCK_PAYMENTS\r\n";
  for (const auto& line : payments) text += line + "\r\n";
  text += "E-O-B\r\nBLOCK_OTHERS\r\n";
  for (const auto& line : others) text += line + "\r\n";
  return text + "E-O-B\r\n";
}

}  // namespace telvano::invoice::testing
