#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/configuration.h"
#include "invoice/print_journal.h"
#include "invoice/sdc_response.h"
#include "platform/clock.h"

namespace telvano::invoice {

// Writes the files through which the POS learns the outcome of an invoice, all in OutputDir and named after
// the base name of the POS's input file. The POS reads a file once it is complete.
class ResultFileWriter {
 public:
  ResultFileWriter(const core::Configuration& configuration, platform::Clock& clock, ReceiptPrinter& printer);

  // <base>_journal.txt (when there is a journal) and <base>_vurl.txt, then `betweenTextsAndImage` (the
  // receipt's print, which reads those two), then <base>_qrcode.gif (when there is a QR code) and
  // <base>_basic.csv last. All of them are written under temporary names and their data reaches the disk in
  // one sync before the first appears under its final name; one flush of the folder after the last makes
  // the names durable. Raises platform::FileError on a file that cannot be written; files that appeared
  // before stay (written again, they come out the same).
  void WriteResultFiles(const TSdcResponse& response, const std::string& base, bool taxLabelCodes,
                        const std::function<void()>& betweenTextsAndImage);
  // The receipt print for printer models 0 to 4 (other models print nothing); raises when it fails.
  void PrintReceipt(const std::string& uuid, const std::string& base, int printerModel,
                    const std::string& printerPort, const db::Decimal& changeAmount, bool signatureLine);

  // <base>_err.txt with a byte-order mark: the local time "yyyy-mm-dd hh:nn:ss", then the failure text.
  void WriteErrorFile(const std::string& inputFileName, const std::string& failureText);
  // Removes <base>_err.txt of an earlier try, so that it never stands beside the results of a success.
  void RemoveErrorFile(const std::string& inputFileName);
  // The suffix of the longest result file name ("_journal.txt"): a base name must leave room for it.
  static constexpr const char* kLongestSuffix = "_journal.txt";

 private:
  std::string OutputPath(const std::string& base, const char* suffix) const;

  const core::Configuration& m_configuration;
  platform::Clock& m_clock;
  ReceiptPrinter& m_printer;
};

// The file name without its last dot and what follows (a name without a dot stays whole).
std::string BaseName(const std::string& fileName);

// The text of <base>_basic.csv: BLOCK_TAXES, BLOCK_INVOICE and BLOCK_TAXPAYER, lines ending in CR LF.
std::string BuildBasicCsv(const TSdcResponse& response, bool taxLabelCodes);

// One field of a written CSV line: in double quotes (inner ones doubled) when it holds a double quote, a comma,
// a space or a control character (codes 1 to 31); bare otherwise.
std::string QuoteCsvField(std::string_view field);

// The bytes of the answer's QR image: its Base64, bare or as a "data:image/...;base64," URI, decoded.
std::string QrCodeImageBytes(std::string_view qrCode);

// Standard Base64 decoded; characters outside the alphabet (line breaks, blanks) are skipped, "=" ends it.
std::string DecodeBase64(std::string_view text);

}  // namespace telvano::invoice
