#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "invoice/print_journal.h"
#include "program_run.h"
#include "support/temp_dir.h"

namespace telvano::invoice {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WaitFor;
using testing::WriteFileBytes;

const std::string kUuid = "0f8fad5b-d9cb-469f-a165-70867728950e";

// A temporary installation with the built Ostrapo in its RunTime folder.
class JournalPrinterTest : public ::testing::Test {
 protected:
  JournalPrinterTest() {
    for (const char* folder : {"RunTime", "Logs", "SDC_Out", "Archive", "Print"})
      fs::create_directories(m_root.Path() / folder);
    fs::create_symlink(OSTRAPO_PATH, m_root.Path() / "RunTime" / "Ostrapo");
    m_configuration.RunTimeDir = m_root / "RunTime";
    m_configuration.LogsDir = m_root / "Logs";
    m_configuration.OutputDir = m_root / "SDC_Out";
    m_configuration.ArchiveDir = m_root / "Archive";
    m_configuration.PrintFileDir = m_root / "Print";
  }

  void WriteResults(const std::string& journal, const std::string& url) {
    WriteFileBytes(m_root.Path() / "SDC_Out" / "INV_NS_1_journal.txt", journal + "\r\n");
    WriteFileBytes(m_root.Path() / "SDC_Out" / "INV_NS_1_vurl.txt", url + "\r\n");
  }

  fs::path Printed(const std::string& name) const { return m_root.Path() / "Print" / name; }
  std::string Log() const {
    const fs::path path = m_root.Path() / "Logs" / "Ostrapo_log.txt";
    return fs::exists(path) ? ReadFileBytes(path) : "";
  }
  bool LogHas(const std::string& text) const { return Log().find(text) != std::string::npos; }

  TempDir m_root;
  core::Configuration m_configuration;
  std::vector<std::string> m_failures;
  JournalPrinter m_printer{m_configuration, [this](const std::string& text) { m_failures.push_back(text); }};
};

// The bytes an EPSON must get for this journal, written out by hand.
const std::string kExpectedEpson = std::string(
    "\x1B@" "\x1Bt\x2E" "\x1BR\x0E" "\x1B\x61\x01"
    "123456789\r\n"
    "\x1D(k\x04\x00\x31\x41\x32\x00"
    "\x1D(k\x03\x00\x31\x43\x04"
    "\x1D(k\x03\x00\x31\x45\x30"
    "\x1D(k\x0F\x00\x31\x50\x30" "https://x/?a"
    "\x1D(k\x03\x00\x31\x52\x30"
    "\x1D(k\x03\x00\x31\x51\x30"
    "\r\n"
    "\xD3\xEA\xF3\xEF\xED\xEE: 1,00\r\n"
    "\r\n"
    "\x1DVA\x01"
    "\x1B@", 107);

TEST_F(JournalPrinterTest, EpsonReceiptEndsInTheConfiguredFile) {
  WriteResults("ПИБ: 123456789\r\n\r\nУкупно: 1,00", "https://x/?a");
  m_printer.PrintJournal(kUuid, "INV_NS_1", "0", "file:receipt.bin", db::Decimal{-1, 0}, false);
  EXPECT_TRUE(fs::exists(m_root.Path() / "Archive" / kUuid)) << "the script stays in the archive";
  ASSERT_TRUE(WaitFor([&] { return fs::exists(Printed("receipt.bin")); })) << Log();
  EXPECT_EQ(ReadFileBytes(Printed("receipt.bin")), kExpectedEpson);
  EXPECT_TRUE(WaitFor([&] { return LogHas("\tfile:receipt.bin\t107\tOK\r\n"); })) << Log();
  EXPECT_TRUE(m_failures.empty());
}

TEST_F(JournalPrinterTest, ReprintWhileTheScriptIsInTheArchive) {
  WriteResults("ПИБ: 123456789\r\nУкупно: 1,00", "https://x/?a");
  m_printer.PrintJournal(kUuid, "INV_NS_1", "0", "file:receipt.bin", db::Decimal{-1, 0}, false);
  ASSERT_TRUE(WaitFor([&] { return fs::exists(Printed("receipt.bin")); })) << Log();
  fs::remove(Printed("receipt.bin"));

  m_printer.ReprintJournal(kUuid);  // to the port the script names
  ASSERT_TRUE(WaitFor([&] { return fs::exists(Printed("receipt.bin")); })) << Log();
  EXPECT_EQ(ReadFileBytes(Printed("receipt.bin")), kExpectedEpson);

  fs::remove(m_root.Path() / "Archive" / kUuid);  // the clean-up at the next start
  try {
    m_printer.ReprintJournal(kUuid);
    FAIL() << "reprint without a script";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Račun nije iz ove sesije!");
  }
  EXPECT_THROW(m_printer.ReprintJournal("../../etc/passwd"), std::runtime_error);
}

TEST_F(JournalPrinterTest, PortsOutsideTheFolderPrintNothingAndTheLogSaysWhy) {
  WriteResults("Укупно: 1,00", "https://x/?a");
  m_printer.PrintJournal(kUuid, "INV_NS_1", "0", "file:../x", db::Decimal{-1, 0}, false);
  EXPECT_TRUE(WaitFor([&] { return LogHas("\tfile:../x\t0\texit 5: port refused: "); })) << Log();
  EXPECT_TRUE(LogHas("leaves the print-file folder")) << Log();
  m_printer.PrintJournal(kUuid, "INV_NS_1", "0", "/etc/passwd", db::Decimal{-1, 0}, false);
  EXPECT_TRUE(WaitFor([&] { return LogHas("\t/etc/passwd\t0\texit 5: port refused: "); })) << Log();
  EXPECT_FALSE(fs::exists(m_root.Path() / "x"));
  EXPECT_TRUE(fs::is_empty(m_root.Path() / "Print"));
}

TEST_F(JournalPrinterTest, PortTextReachesNoShell) {
  WriteResults("Укупно: 1,00", "https://x/?a");
  const std::string marker = m_root / "shell-was-here";
  m_printer.PrintJournal(kUuid, "INV_NS_1", "1", "x; touch " + marker, db::Decimal{-1, 0}, false);
  EXPECT_TRUE(WaitFor([&] { return LogHas("exit 5"); })) << Log();
  EXPECT_FALSE(fs::exists(marker));
}

TEST_F(JournalPrinterTest, MissingFilesAndBadArgumentsRaise) {
  EXPECT_THROW(m_printer.PrintJournal(kUuid, "INV_NS_1", "0", "file:r.bin", db::Decimal{-1, 0}, false),
               std::runtime_error);  // no journal file
  WriteFileBytes(m_root.Path() / "SDC_Out" / "INV_NS_1_journal.txt", "a\r\n");
  EXPECT_THROW(m_printer.PrintJournal(kUuid, "INV_NS_1", "0", "file:r.bin", db::Decimal{-1, 0}, false),
               std::runtime_error);  // no URL file
  WriteResults("a", "u");
  EXPECT_THROW(m_printer.PrintJournal(kUuid, "INV_NS_1", "5", "file:r.bin", db::Decimal{-1, 0}, false),
               std::invalid_argument);
  EXPECT_THROW(m_printer.PrintJournal("../x", "INV_NS_1", "0", "file:r.bin", db::Decimal{-1, 0}, false),
               std::invalid_argument);
  EXPECT_FALSE(fs::exists(m_root.Path() / "Archive" / kUuid));
}

TEST_F(JournalPrinterTest, SenderThatCannotStartIsReportedNotRaised) {
  fs::remove(m_root.Path() / "RunTime" / "Ostrapo");
  WriteResults("a", "u");
  EXPECT_NO_THROW(m_printer.PrintJournal(kUuid, "INV_NS_1", "0", "file:r.bin", db::Decimal{-1, 0}, false));
  ASSERT_EQ(m_failures.size(), 1u);
  EXPECT_NE(m_failures[0].find("Ostrapo"), std::string::npos);
  EXPECT_THROW(m_printer.ReprintJournal(kUuid), std::runtime_error);
}

}  // namespace
}  // namespace telvano::invoice
