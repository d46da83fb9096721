// The test invoice's own work around the invoice handler: the file it writes, its waits, its clean-up and
// the error it raises. The handler here plays the invoice road's part by writing the result files.
#include "invoice/test_invoice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <stdexcept>

#include "support/temp_dir.h"

namespace telvano::invoice {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// A manual clock that can make something happen after a given number of waits (the road finishing late).
class SteppingClock final : public platform::Clock {
 public:
  std::chrono::system_clock::time_point Now() const override { return m_clock.Now(); }
  platform::LocalDateTime LocalNow() const override { return m_clock.LocalNow(); }
  void Sleep(std::chrono::milliseconds duration) override {
    m_clock.Sleep(duration);
    ++m_sleeps;
    if (m_onSleep) m_onSleep(m_sleeps);
  }
  std::chrono::milliseconds TotalSlept() const { return m_clock.TotalSlept(); }
  std::function<void(int sleeps)> m_onSleep;

 private:
  platform::ManualClock m_clock{{2024, 5, 6, 10, 11, 12, 0, 120}};
  int m_sleeps = 0;
};

class TestInvoiceFilesTest : public ::testing::Test {
 protected:
  TestInvoiceFilesTest() {
    fs::create_directories(m_root.Path() / "SDC_Inp");
    fs::create_directories(m_root.Path() / "SDC_Out");
    m_configuration.InputDir = m_root / "SDC_Inp";
    m_configuration.OutputDir = m_root / "SDC_Out";
  }

  fs::path Out(const std::string& name) const { return fs::path(m_configuration.OutputDir) / name; }
  fs::path In(const std::string& name) const { return fs::path(m_configuration.InputDir) / name; }

  void WriteSuccessFiles(const std::string& base) {
    for (const char* suffix : {"_journal.txt", "_vurl.txt", "_qrcode.gif", "_basic.csv"}) {
      WriteFileBytes(Out(base + suffix), "x\r\n");
    }
  }

  bool OutputIsEmpty() const { return fs::is_empty(m_configuration.OutputDir); }

  TempDir m_root;
  core::Configuration m_configuration;
  SteppingClock m_clock;
};

constexpr const char* kName = "INV_TS_20240506101112.csv";
constexpr const char* kBase = "INV_TS_20240506101112";

TEST_F(TestInvoiceFilesTest, WritesTheNineLineTrainingSaleAndCleansUpAfterSuccess) {
  std::string seenName;
  std::string seenBytes;
  CreateTestInvoice(m_configuration, m_clock, {"Ђ", "Е"}, [&](const std::string& name) {
    seenName = name;
    seenBytes = ReadFileBytes(In(name));
    fs::remove(In(name));
    WriteSuccessFiles(kBase);
  });
  EXPECT_EQ(seenName, kName);
  EXPECT_EQ(seenBytes,
            "\xEF\xBB\xBF"
            "BLOCK_ITEMS\r\n,TestArtikal,1,1,kom,1,Ђ\r\nE-O-B\r\nBLOCK_PAYMENTS\r\nCash,,1\r\nE-O-B\r\n"
            "BLOCK_OTHERS\r\ncashier,testKasir\r\nE-O-B\r\n");
  EXPECT_TRUE(OutputIsEmpty());
  EXPECT_EQ(m_clock.TotalSlept(), 2000ms);
}

TEST_F(TestInvoiceFilesTest, RaisesTheErrorFileTextAndRemovesIt) {
  WriteFileBytes(Out("INV_TS_other_basic.csv"), "not ours\r\n");
  try {
    CreateTestInvoice(m_configuration, m_clock, {"А"}, [&](const std::string& name) {
      fs::rename(In(name), fs::path(m_root.Path()) / name);
      WriteFileBytes(Out(std::string(kBase) + "_err.txt"),
                     "\xEF\xBB\xBF"
                     "2024-05-06 10:11:12\r\nRačun je već fiskalizovan!\r\n");
    });
    FAIL() << "no error raised";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "2024-05-06 10:11:12\r\nRačun je već fiskalizovan!");
  }
  EXPECT_FALSE(fs::exists(Out(std::string(kBase) + "_err.txt")));
  EXPECT_TRUE(fs::exists(Out("INV_TS_other_basic.csv")));  // only this invoice's files are removed
  EXPECT_EQ(m_clock.TotalSlept(), 2000ms);
}

TEST_F(TestInvoiceFilesTest, WaitsUpToFiveSecondsMoreForALateResult) {
  m_clock.m_onSleep = [&](int sleeps) {
    if (sleeps == 4) WriteSuccessFiles(kBase);  // after the first wait and three retries
  };
  CreateTestInvoice(m_configuration, m_clock, {"Ђ"}, [&](const std::string& name) { fs::remove(In(name)); });
  EXPECT_EQ(m_clock.TotalSlept(), 5000ms);
  EXPECT_TRUE(OutputIsEmpty());
}

TEST_F(TestInvoiceFilesTest, ReturnsNormallyWhenNoResultEverAppears) {
  CreateTestInvoice(m_configuration, m_clock, {"Ђ"}, [&](const std::string& name) { fs::remove(In(name)); });
  EXPECT_EQ(m_clock.TotalSlept(), 7000ms);
}

TEST_F(TestInvoiceFilesTest, NoTaxLabelFailsBeforeAnyFileIsWritten) {
  bool called = false;
  try {
    CreateTestInvoice(m_configuration, m_clock, {}, [&](const std::string&) { called = true; });
    FAIL() << "no error raised";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), kNoTaxLabelForTestInvoice);
  }
  EXPECT_FALSE(called);
  EXPECT_TRUE(fs::is_empty(m_configuration.InputDir));
  EXPECT_EQ(m_clock.TotalSlept(), 0ms);
}

TEST_F(TestInvoiceFilesTest, AHandlerThatRaisesLeavesNoTestFileBehind) {
  EXPECT_THROW(CreateTestInvoice(m_configuration, m_clock, {"Ђ"},
                                 [&](const std::string&) {
                                   WriteFileBytes(Out(std::string(kBase) + "_vurl.txt"), "\r\n");
                                   throw std::runtime_error("disk full");
                                 }),
               std::runtime_error);
  EXPECT_TRUE(fs::is_empty(m_configuration.InputDir));
  EXPECT_TRUE(OutputIsEmpty());
}

TEST_F(TestInvoiceFilesTest, AMissingInputFolderIsAnErrorNotASilentSuccess) {
  fs::remove(m_configuration.InputDir);
  EXPECT_THROW(CreateTestInvoice(m_configuration, m_clock, {"Ђ"}, [](const std::string&) {}), std::runtime_error);
}

TEST(TestInvoiceNameTest, NameCarriesTheLocalTimeToTheSecond) {
  EXPECT_EQ(TestInvoiceFileName({2024, 1, 2, 3, 4, 5, 999, 60}), "INV_TS_20240102030405.csv");
  EXPECT_EQ(TestInvoiceFileName({2026, 12, 31, 23, 59, 59, 0, 0}), "INV_TS_20261231235959.csv");
}

}  // namespace
}  // namespace telvano::invoice
