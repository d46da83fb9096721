#include "invoice/test_invoice.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <fmt/format.h>

#include "platform/whole_file.h"

namespace telvano::invoice {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kFirstWait = 2000ms;
constexpr auto kAttemptWait = 1000ms;
constexpr int kAttempts = 5;
constexpr std::array<const char*, 5> kResultSuffixes{"_basic.csv", "_journal.txt", "_qrcode.gif", "_vurl.txt",
                                                     "_err.txt"};

// The error file starts with a byte-order mark and ends with a line break; neither belongs to the message.
std::string ErrorFileMessage(std::string text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

void RemoveResultFiles(const fs::path& outputDir, const std::string& base) {
  for (const char* suffix : kResultSuffixes) {
    std::error_code ignored;
    fs::remove(outputDir / (base + suffix), ignored);
  }
}

}  // namespace

std::string TestInvoiceFileName(const platform::LocalDateTime& t) {
  return fmt::format("INV_TS_{:04}{:02}{:02}{:02}{:02}{:02}.csv", t.year, t.month, t.day, t.hour, t.minute,
                     t.second);
}

std::string TestInvoiceText(const std::string& taxLabel) {
  const std::array<std::string, 9> lines{"BLOCK_ITEMS",
                                         ",TestArtikal,1,1,kom,1," + taxLabel,
                                         "E-O-B",
                                         "BLOCK_PAYMENTS",
                                         "Cash,,1",
                                         "E-O-B",
                                         "BLOCK_OTHERS",
                                         "cashier,testKasir",
                                         "E-O-B"};
  std::string text = "\xEF\xBB\xBF";
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

void CreateTestInvoice(const core::Configuration& configuration, platform::Clock& clock,
                       const std::vector<std::string>& currentTaxLabels,
                       const std::function<void(const std::string& bareName)>& processCsvInvoice) {
  if (currentTaxLabels.empty()) throw std::runtime_error(kNoTaxLabelForTestInvoice);

  const std::string fileName = TestInvoiceFileName(clock.LocalNow());
  const std::string base = fileName.substr(0, fileName.size() - 4);
  const fs::path inputFile = fs::path(configuration.InputDir) / fileName;
  const fs::path outputDir = configuration.OutputDir;

  platform::WriteFileDurably(inputFile.string(), TestInvoiceText(currentTaxLabels.front()));
  try {
    processCsvInvoice(fileName);
  } catch (...) {
    // The handler normally answers every failure with an error file; should it raise instead, the test file
    // must not stay behind for the poller to fiscalise later.
    std::error_code ignored;
    fs::remove(inputFile, ignored);
    RemoveResultFiles(outputDir, base);
    throw;
  }

  clock.Sleep(kFirstWait);
  std::string errorText;
  bool failed = false;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (fs::exists(outputDir / (base + "_basic.csv"))) break;
    const fs::path errorFile = outputDir / (base + "_err.txt");
    if (fs::exists(errorFile)) {
      failed = true;
      try {
        errorText = ErrorFileMessage(platform::ReadRegularFile(errorFile.string(), 1u << 20));
      } catch (const std::exception& error) {
        errorText = error.what();
      }
      break;
    }
    clock.Sleep(kAttemptWait);
  }

  RemoveResultFiles(outputDir, base);
  if (failed) throw std::runtime_error(errorText);
}

}  // namespace telvano::invoice
