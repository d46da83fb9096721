#include "invoice/print_journal.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "invoice/print_script.h"
#include "platform/process.h"
#include "platform/whole_file.h"

namespace telvano::invoice {

// The receipt text and verification URL read back from SDC_Out for printing: a folder the POS may write, so
// they are read as plain files of a sensible size only (a journal is a few kilobytes).
constexpr std::size_t kMaxReceiptFileBytes = 1u << 20;

namespace {

// inv_uuid: 36 characters, hexadecimal digits with hyphens at 8, 13, 18 and 23. Anything else could
// name a file outside the archive.
bool IsInvoiceUuid(const std::string& uuid) {
  if (uuid.size() != 36) return false;
  for (std::size_t i = 0; i < uuid.size(); ++i) {
    const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
    if (hyphen ? uuid[i] != '-' : !std::isxdigit(static_cast<unsigned char>(uuid[i]))) return false;
  }
  return true;
}


std::string WithoutLineEnds(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

JournalPrinter::JournalPrinter(const core::Configuration& configuration,
                               std::function<void(const std::string&)> reportFailure)
    : m_configuration(configuration), m_reportFailure(std::move(reportFailure)) {}

std::string JournalPrinter::ScriptPath(const std::string& uuid) const {
  return m_configuration.ArchiveDir + "/" + uuid;
}

void JournalPrinter::PrintJournal(const std::string& uuid, const std::string& base, const std::string& modelText,
                                  const std::string& printerPort, const db::Decimal& changeAmount,
                                  bool signatureLine) {
  const int model = PrinterModelFromText(modelText);
  if (model < 0) throw std::invalid_argument("printer model \"" + modelText + "\" is not 0 to 4");
  if (!IsInvoiceUuid(uuid)) throw std::invalid_argument("not an invoice identifier: " + uuid);
  if (base.empty() || base.find('/') != std::string::npos) throw std::invalid_argument("bad base name: " + base);

  PrintScriptInput input;
  input.model = static_cast<PrinterModel>(model);
  input.port = printerPort;
  input.journal = platform::ReadRegularFile(m_configuration.OutputDir + "/" + base + "_journal.txt", kMaxReceiptFileBytes);
  input.verificationUrl = WithoutLineEnds(platform::ReadRegularFile(m_configuration.OutputDir + "/" + base + "_vurl.txt", kMaxReceiptFileBytes));
  input.changeAmount = changeAmount;
  input.signatureLine = signatureLine;
  // Whole but not flushed: the sender reads it at once, and REPRINT serves the invoices of this run.
  platform::WriteFileWhole(ScriptPath(uuid), BuildPrintScript(input));

  std::string error;
  if (!StartRawPrintSender(uuid, printerPort, &error) && m_reportFailure) m_reportFailure(error);
}

void JournalPrinter::ReprintJournal(const std::string& uuid) {
  if (!IsInvoiceUuid(uuid)) throw std::runtime_error(kReprintNotThisSession);
  const std::string path = ScriptPath(uuid);
  std::error_code ignored;
  if (!std::filesystem::is_regular_file(path, ignored)) throw std::runtime_error(kReprintNotThisSession);

  // The first line names model and port: 'EPSON,/dev/usb/lp0
  std::ifstream in(path, std::ios::binary);
  std::string first;
  if (!in || !std::getline(in, first)) throw std::runtime_error(kReprintNotThisSession);
  first = WithoutLineEnds(first);
  const std::size_t comma = first.find(',');
  const std::string port = (first.rfind('\'', 0) == 0 && comma != std::string::npos)
                               ? FromCodePage1251(first.substr(comma + 1))
                               : std::string();
  std::string error;
  if (!StartRawPrintSender(uuid, port, &error)) throw std::runtime_error(error);
}

bool JournalPrinter::StartRawPrintSender(const std::string& uuid, const std::string& port, std::string* error) {
  const std::vector<std::string> arguments = {"--log-dir", m_configuration.LogsDir,
                                              "--file-dir", m_configuration.PrintFileDir,
                                              "--", ScriptPath(uuid), port};
  return platform::StartDetached(m_configuration.RunTimeDir + "/Ostrapo", arguments, error) > 0;
}

}  // namespace telvano::invoice
