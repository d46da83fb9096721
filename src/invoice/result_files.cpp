#include "invoice/result_files.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/file_batch.h"
#include "platform/whole_file.h"
#include "sdc/tax_labels.h"

namespace telvano::invoice {
namespace {

constexpr const char* kCrLf = "\r\n";

std::string CsvLine(std::initializer_list<std::string_view> fields) {
  std::string line;
  bool first = true;
  for (std::string_view field : fields) {
    if (!first) line.push_back(',');
    line += QuoteCsvField(field);
    first = false;
  }
  return line + kCrLf;
}

void PairIf(std::string& out, bool present, std::string_view key, std::string_view value) {
  if (present) out += CsvLine({key, value});
}

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  if (text.size() < 2) text.insert(0, "0");
  return text;
}

}  // namespace

ResultFileWriter::ResultFileWriter(const core::Configuration& configuration, platform::Clock& clock,
                                   ReceiptPrinter& printer)
    : m_configuration(configuration), m_clock(clock), m_printer(printer) {}

std::string ResultFileWriter::OutputPath(const std::string& base, const char* suffix) const {
  return m_configuration.OutputDir + "/" + base + suffix;
}

void ResultFileWriter::WriteResultFiles(const TSdcResponse& response, const std::string& base, bool taxLabelCodes,
                                        const std::function<void()>& betweenTextsAndImage) {
  const std::string journal = base + "_journal.txt";
  const std::string url = base + "_vurl.txt";
  const std::string image = base + "_qrcode.gif";
  const std::string summary = base + "_basic.csv";
  platform::FileBatch batch(m_configuration.OutputDir);
  if (!response.journal.empty()) batch.Stage(journal, response.journal + kCrLf);
  batch.Stage(url, response.verificationUrl + kCrLf);
  if (!response.verificationQRCode.empty()) batch.Stage(image, QrCodeImageBytes(response.verificationQRCode) + kCrLf);
  batch.Stage(summary, BuildBasicCsv(response, taxLabelCodes));
  batch.SyncData();
  batch.Publish(journal);
  batch.Publish(url);
  if (betweenTextsAndImage) betweenTextsAndImage();
  batch.Publish(image);
  // The POS takes the invoice as done once it sees the summary: it comes last.
  batch.Publish(summary);
  batch.SyncFolder();
}

void ResultFileWriter::PrintReceipt(const std::string& uuid, const std::string& base, int printerModel,
                                    const std::string& printerPort, const db::Decimal& changeAmount,
                                    bool signatureLine) {
  if (printerModel < 0 || printerModel > 4) return;
  m_printer.PrintJournal(uuid, base, std::to_string(printerModel), printerPort, changeAmount, signatureLine);
}

void ResultFileWriter::RemoveErrorFile(const std::string& inputFileName) {
  std::error_code ignored;
  std::filesystem::remove(OutputPath(BaseName(inputFileName), "_err.txt"), ignored);
}

void ResultFileWriter::WriteErrorFile(const std::string& inputFileName, const std::string& failureText) {
  const platform::LocalDateTime now = m_clock.LocalNow();
  const std::string stamp = std::to_string(now.year) + "-" + TwoDigits(now.month) + "-" + TwoDigits(now.day) + " " +
                            TwoDigits(now.hour) + ":" + TwoDigits(now.minute) + ":" + TwoDigits(now.second);
  platform::WriteFileDurably(OutputPath(BaseName(inputFileName), "_err.txt"),
                 "\xEF\xBB\xBF" + stamp + kCrLf + failureText + kCrLf);
}

std::string BaseName(const std::string& fileName) {
  const std::size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

std::string BuildBasicCsv(const TSdcResponse& r, bool taxLabelCodes) {
  std::string out = std::string("BLOCK_TAXES") + kCrLf;
  const std::string revision = RenderInteger(r.taxGroupRevision);
  for (const TSdcTaxItem& item : r.taxItems) {
    const std::string label = taxLabelCodes ? sdc::TaxLabelLettersToCodes(item.label) : item.label;
    out += CsvLine({revision, RenderInteger(item.categoryType), label, RenderDecimal(item.amount),
                    RenderDecimal(item.rate), item.categoryName});
  }
  out += std::string("E-O-B") + kCrLf + "BLOCK_INVOICE" + kCrLf;
  PairIf(out, !r.invoiceCounter.empty(), "invoiceCounter", r.invoiceCounter);
  PairIf(out, !r.invoiceCounterExtension.empty(), "invoiceCounterExtension", r.invoiceCounterExtension);
  PairIf(out, r.totalCounter != -1, "totalCounter", RenderInteger(r.totalCounter));
  PairIf(out, r.transactionTypeCounter != -1, "transactionTypeCounter", RenderInteger(r.transactionTypeCounter));
  PairIf(out, !r.invoiceNumber.empty(), "invoiceNumber", r.invoiceNumber);
  PairIf(out, !r.requestedBy.empty(), "requestedBy", r.requestedBy);
  PairIf(out, !r.sdcDateTime.empty(), "sdcDateTime", r.sdcDateTime);
  PairIf(out, !r.signedBy.empty(), "signedBy", r.signedBy);
  PairIf(out, !IsMinusOne(r.totalAmount), "totalAmount", RenderDecimal(r.totalAmount));
  PairIf(out, !r.mrc.empty(), "mrc", r.mrc);
  PairIf(out, r.taxGroupRevision != -1, "taxGroupRevision", RenderInteger(r.taxGroupRevision));
  PairIf(out, !r.messages.empty(), "messages", r.messages);
  out += std::string("E-O-B") + kCrLf + "BLOCK_TAXPAYER" + kCrLf;
  PairIf(out, !r.address.empty(), "address", r.address);
  PairIf(out, !r.businessName.empty(), "businessName", r.businessName);
  PairIf(out, !r.district.empty(), "district", r.district);
  PairIf(out, !r.locationName.empty(), "locationName", r.locationName);
  PairIf(out, !r.tin.empty(), "tin", r.tin);
  out += std::string("E-O-B") + kCrLf;
  return out;
}

std::string QuoteCsvField(std::string_view field) {
  bool quote = false;
  for (char c : field) {
    const auto code = static_cast<unsigned char>(c);
    if (c == '"' || c == ',' || c == ' ' || (code >= 1 && code <= 31)) {
      quote = true;
      break;
    }
  }
  if (!quote) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

std::string QrCodeImageBytes(std::string_view qrCode) {
  // Some processors send the image as a data URI ("data:image/gif;base64,R0lG..."): its Base64 starts after
  // the comma, and the letters of the prefix must not be decoded as image bytes.
  constexpr std::string_view kMarker = ";base64,";
  if (qrCode.starts_with("data:")) {
    const std::size_t marker = qrCode.find(kMarker);
    if (marker != std::string_view::npos) qrCode.remove_prefix(marker + kMarker.size());
  }
  return DecodeBase64(qrCode);
}

std::string DecodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  unsigned int buffer = 0;
  int bits = 0;
  for (char c : text) {
    int value;
    if (c >= 'A' && c <= 'Z') value = c - 'A';
    else if (c >= 'a' && c <= 'z') value = c - 'a' + 26;
    else if (c >= '0' && c <= '9') value = c - '0' + 52;
    else if (c == '+') value = 62;
    else if (c == '/') value = 63;
    else if (c == '=') break;
    else continue;
    buffer = (buffer << 6) | static_cast<unsigned int>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
  return out;
}


}  // namespace telvano::invoice
