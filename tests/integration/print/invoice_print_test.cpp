// An invoice that names a printer, through the real road: POS file, processor, result files, print
// script, the real Ostrapo, and the bytes in the configured print-file folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/configuration.h"
#include "core/working_state.h"
#include "invoice/print_journal.h"
#include "invoice/tform_invoice.h"
#include "pfr-sim/pfr_simulator.h"
#include "platform/clock.h"
#include "program_run.h"
#include "sdc/tform_http.h"
#include "support/escpos_qr_decoder.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace telvano::invoice {
namespace {

namespace fs = std::filesystem;
using ::telvano::testing::ReadFileBytes;
using ::telvano::testing::WaitFor;
using ::telvano::testing::WriteFileBytes;

class InvoicePrintTest : public ::testing::Test {
 protected:
  InvoicePrintTest() {
    const fs::path root = m_root.Path();
    m_configuration.InputDir = root / "ExchData" / "SDC_Inp";
    m_configuration.OutputDir = root / "ExchData" / "SDC_Out";
    m_configuration.ArchiveDir = root / "ExchData" / "Archive";
    m_configuration.LogsDir = root / "Logs";
    m_configuration.RunTimeDir = root / "RunTime";
    m_configuration.PrintFileDir = root / "Print";
    for (const std::string& dir : {m_configuration.InputDir, m_configuration.OutputDir, m_configuration.ArchiveDir,
                                   m_configuration.LogsDir, m_configuration.RunTimeDir, m_configuration.PrintFileDir})
      fs::create_directories(dir);
    fs::create_symlink(OSTRAPO_PATH, root / "RunTime" / "Ostrapo");

    pfrsim::SimOptions options;
    options.pinEntered = true;
    m_sim = std::make_unique<pfrsim::PfrSimulator>(options);
    m_sim->Start();
    m_workingState.WorkSerial = "TESTSERIAL";
    m_workingState.WorkUrl = m_sim->BaseUrl();
    m_workingState.WorkIsLpfr = true;
    m_workingState.WorkPin = "1234";
    m_http = std::make_unique<sdc::TFormHTTP>(m_configuration, m_workingState);
    m_invoice = std::make_unique<TFormInvoice>(m_configuration, m_testDatabase.Db(), *m_http, m_clock, m_printer);
  }
  ~InvoicePrintTest() override { m_sim->Stop(); }

  void Process(const std::string& name, const std::string& others) {
    WriteFileBytes(m_configuration.InputDir + "/" + name,
                   "BLOCK_ITEMS\r\n,\"Kafa Šećer\",120,2,kom,240,Ђ\r\nE-O-B\r\nBLOCK_PAYMENTS\r\nCash,,300\r\nE-O-B\r\n"
                   "BLOCK_OTHERS\r\ncashier,Pera\r\n" + others + "E-O-B\r\n");
    m_invoice->ProcessCsvInvoice(name);
  }
  std::string Log() const {
    const fs::path path = m_configuration.LogsDir + "/Ostrapo_log.txt";
    return fs::exists(path) ? ReadFileBytes(path) : "";
  }

  ::telvano::testing::TempDir m_root;
  core::Configuration m_configuration;
  core::WorkingState m_workingState;
  ::telvano::testing::TestDatabase m_testDatabase;
  platform::ManualClock m_clock;
  std::unique_ptr<pfrsim::PfrSimulator> m_sim;
  std::unique_ptr<sdc::TFormHTTP> m_http;
  JournalPrinter m_printer{m_configuration};
  std::unique_ptr<TFormInvoice> m_invoice;
};

TEST_F(InvoicePrintTest, EpsonInvoiceEndsInThePrintFile) {
  Process("INV_NS_7.csv", "CustomizedExport,EPSON\r\nCustomizedSerial,file:receipt.bin\r\nCustomizedKusur,60\r\n");
  ASSERT_TRUE(fs::exists(m_configuration.OutputDir + "/INV_NS_7_journal.txt"))
      << ReadFileBytes(m_configuration.OutputDir + "/INV_NS_7_err.txt");
  const std::string printed = m_configuration.PrintFileDir + "/receipt.bin";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(printed); })) << Log();
  const std::string bytes = ReadFileBytes(printed);

  EXPECT_EQ(bytes.substr(0, 11), "\x1B@\x1Bt\x2E\x1BR\x0E\x1B\x61\x01");
  EXPECT_EQ(bytes.substr(bytes.size() - 8), "\r\n\x1DVA\x01\x1B@");
  // "Повраћај:" and the change, right-aligned, in code page 1251.
  EXPECT_NE(bytes.find("\xCF\xEE\xE2\xF0\xE0\x9E\xE0\xBC:" + std::string(26, ' ') + "60,00\r\n"), std::string::npos);
  // The QR code holds the verification URL the POS got, and its length bytes fit.
  std::string url = ReadFileBytes(m_configuration.OutputDir + "/INV_NS_7_vurl.txt");
  url.resize(url.size() - 2);
  ASSERT_FALSE(url.empty());
  std::size_t at = bytes.find("\x1D(k");
  ASSERT_NE(at, std::string::npos);
  const auto functions = ::telvano::testing::DecodeQrFunctions(bytes, at);
  ASSERT_EQ(functions.size(), 6u);
  EXPECT_EQ(functions[3].parameters, "0" + url);
  EXPECT_TRUE(WaitFor([&] { return Log().find("\tfile:receipt.bin\t" + std::to_string(bytes.size()) + "\tOK") !=
                                   std::string::npos; }))
      << Log();

  // REPRINT sends the same receipt again while the script is in the archive.
  const std::string uuid = m_testDatabase.Db().QueryFirst("select inv_uuid from inv_request")->operator[](0).AsString();
  fs::remove(printed);
  m_printer.ReprintJournal(uuid);
  ASSERT_TRUE(WaitFor([&] { return fs::exists(printed); })) << Log();
  EXPECT_EQ(ReadFileBytes(printed), bytes);
}

TEST_F(InvoicePrintTest, PortOutsideTheFolderPrintsNothingButTheInvoiceStands) {
  Process("INV_NS_8.csv", "CustomizedExport,EPSON\r\nCustomizedSerial,file:../x\r\n");
  EXPECT_TRUE(fs::exists(m_configuration.OutputDir + "/INV_NS_8_basic.csv"));
  EXPECT_FALSE(fs::exists(m_configuration.OutputDir + "/INV_NS_8_err.txt"));
  EXPECT_TRUE(WaitFor([&] { return Log().find("leaves the print-file folder") != std::string::npos; })) << Log();
  EXPECT_FALSE(fs::exists(m_root.Path() / "x"));
  EXPECT_TRUE(fs::is_empty(m_configuration.PrintFileDir));
}

}  // namespace
}  // namespace telvano::invoice
