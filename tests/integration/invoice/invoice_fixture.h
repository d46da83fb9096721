#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/configuration.h"
#include "core/working_state.h"
#include "invoice/print_journal.h"
#include "invoice/tform_invoice.h"
#include "pfr-sim/pfr_simulator.h"
#include "platform/clock.h"
#include "sdc/tform_http.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace telvano::invoice::testing {

// A printer that only records what it was asked, and whether the two files it reads were there.
class RecordingPrinter final : public ReceiptPrinter {
 public:
  struct Call {
    std::string uuid, base, modelText, printerPort;
    db::Decimal changeAmount;
    bool signatureLine = false;
    bool journalPresent = false;
    bool urlPresent = false;
  };
  explicit RecordingPrinter(const core::Configuration& configuration) : m_configuration(configuration) {}
  void PrintJournal(const std::string& uuid, const std::string& base, const std::string& modelText,
                    const std::string& printerPort, const db::Decimal& changeAmount, bool signatureLine) override;
  void ReprintJournal(const std::string&) override {}
  std::vector<Call> calls;
  bool failNext = false;

 private:
  const core::Configuration& m_configuration;
};

// One installation: exchange tree, database, simulated LPFR, transport, manual clock and the invoice module.
class InvoiceRoadTest : public ::testing::Test {
 protected:
  InvoiceRoadTest();
  ~InvoiceRoadTest() override;

  // Writes SDC_Inp/<name> and runs the handler on it.
  void Process(const std::string& name, const std::string& content);
  void DropFile(const std::string& name, const std::string& content);

  std::string Input(const std::string& name) const { return m_configuration.InputDir + "/" + name; }
  std::string Output(const std::string& name) const { return m_configuration.OutputDir + "/" + name; }
  std::string Archive(const std::string& name) const { return m_configuration.ArchiveDir + "/" + name; }
  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
  std::string ReadOutput(const std::string& name) const;
  // The error file's text without its byte-order mark, time stamp line and final CR LF.
  std::string ErrorText(const std::string& base) const;
  // The body of the last invoice request the processor received.
  std::string LastRequestBody() const;
  std::vector<pfrsim::LoggedRequest> InvoiceRequests() const;
  std::int64_t Count(const std::string& table);
  std::vector<std::string> ArchiveFiles() const;

  ::telvano::testing::TempDir m_root;
  core::Configuration m_configuration;
  core::WorkingState m_workingState;
  ::telvano::testing::TestDatabase m_testDatabase;
  db::Database& m_db;
  platform::ManualClock m_clock;
  std::unique_ptr<pfrsim::PfrSimulator> m_sim;
  std::unique_ptr<sdc::TFormHTTP> m_http;
  RecordingPrinter m_printer;
  std::unique_ptr<TFormInvoice> m_invoice;
};

// A well-formed invoice file with the given blocks (CR LF line ends).
std::string InvoiceFile(const std::vector<std::string>& items, const std::vector<std::string>& payments,
                        const std::vector<std::string>& others);

}  // namespace telvano::invoice::testing
