#include "invoice/csv_invoice.h"

#include <algorithm>

#include "core/text_utils.h"
#include "invoice/csv_text.h"
#include "invoice/invoice_error.h"

namespace telvano::invoice {
namespace {

std::size_t MinimumFields(std::string_view upperBlockName) {
  if (upperBlockName == kBlockItems) return 7;
  if (upperBlockName == kBlockPayments) return 3;
  return 2;
}

// The content lines between the block's marker and its end line.
std::pair<std::size_t, std::size_t> FindBlock(const std::vector<std::string>& lines, const std::string& upperName) {
  std::size_t marker = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (AsciiUpper(FirstField(lines[i])) == upperName) {
      marker = i;
      break;
    }
  }
  if (marker == lines.size()) throw InvoiceError("NEMA " + upperName);
  for (std::size_t i = marker + 1; i < lines.size(); ++i) {
    if (AsciiUpper(FirstField(lines[i])) == "E-O-B") return {marker + 1, i};
  }
  throw InvoiceError(kMessageNoEndOfBlock);
}

}  // namespace

InvoiceFileName CheckInvoiceFileName(const std::string& fileName, const InvoiceValueLists& lists) {
  InvoiceFileName result;
  result.fileName = fileName;
  const std::string invoiceType = AsciiUpper(fileName.size() > 4 ? fileName.substr(4, 1) : "");
  if (invoiceType.empty() || !lists.InvoiceTypes.Contains(invoiceType)) throw InvoiceError(kMessageNameIt);
  const std::string transactionType = AsciiUpper(fileName.size() > 5 ? fileName.substr(5, 1) : "");
  if (transactionType.empty() || !lists.TransactionTypes.Contains(transactionType)) {
    throw InvoiceError(kMessageNameTt);
  }
  if (fileName.size() < 7 || fileName[6] != '_') throw InvoiceError(kMessageNamePattern);
  const std::size_t dot = fileName.rfind('.');
  const std::size_t extensionLength = dot == std::string::npos ? 0 : fileName.size() - dot;
  if (fileName.size() <= 7 + extensionLength) throw InvoiceError(kMessageNamePattern);
  if (fileName.find('/') != std::string::npos || fileName.find('\0') != std::string::npos ||
      fileName == "." || fileName == "..") {
    throw InvoiceError(kMessageNamePattern);
  }
  result.invoiceType = invoiceType;
  result.transactionType = transactionType;
  // Full Unicode upper-casing: "inv_ns_čaj.csv" and "INV_NS_ČAJ.CSV" are one invoice.
  result.extFilename = core::UpperCaseUnicode(fileName);
  result.hasCsvExtension = dot != std::string::npos && AsciiUpper(fileName.substr(dot)) == ".CSV";
  return result;
}

std::vector<std::string> ExtractBlock(const std::vector<std::string>& lines, std::string_view blockName) {
  const std::string upperName = AsciiUpper(blockName);
  const auto [first, end] = FindBlock(lines, upperName);
  const std::size_t minimum = MinimumFields(upperName);
  std::vector<std::string> content;
  content.reserve(end - first);
  for (std::size_t i = first; i < end; ++i) {
    if (CountFields(lines[i]) < minimum) {
      throw InvoiceError(upperName + " Neodgovarajući broj kolona: " + upperName);
    }
    content.push_back(lines[i]);
  }
  return content;
}

ValueList ExtractPairs(const std::vector<std::string>& lines, std::string_view blockName) {
  const std::string upperName = AsciiUpper(blockName);
  const auto [first, end] = FindBlock(lines, upperName);
  const std::size_t minimum = MinimumFields(upperName);
  ValueList pairs;
  for (std::size_t i = first; i < end; ++i) {
    std::vector<std::string> fields = SplitFields(lines[i]);
    if (fields.size() < minimum) throw InvoiceError(upperName + " Neodgovarajući broj kolona: " + upperName);
    pairs.Add(std::move(fields[0]), std::move(fields[1]));
  }
  return pairs;
}

ParsedInvoice ParseInvoiceLines(const std::vector<std::string>& lines) {
  ParsedInvoice parsed;
  parsed.itemLines = ExtractBlock(lines, kBlockItems);
  parsed.paymentLines = ExtractBlock(lines, kBlockPayments);
  parsed.others = ExtractPairs(lines, kBlockOthers);
  std::erase_if(parsed.paymentLines, [](const std::string& line) { return SplitFields(line)[2].empty(); });
  return parsed;
}

int PrinterModelNumber(std::string_view exportText) {
  const std::string model = AsciiUpper(exportText);
  if (model == "EPSON") return 0;
  if (model == "POSIFLEX") return 1;
  if (model == "STAR") return 2;
  if (model == "STAR-2") return 3;
  if (model == "SAMTEC") return 4;
  return -1;
}

std::optional<db::Decimal> ParseFixed4(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::int64_t units = 0;
  bool anyDigit = false;
  // The largest whole part whose units (× 10^4, plus four decimals and a rounding step) fit in 64 bits.
  constexpr std::int64_t kMaxWhole = 922337203685476LL;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    units = units * 10 + (text[i] - '0');
    if (units > kMaxWhole) return std::nullopt;
    anyDigit = true;
  }
  int fractionDigits = 0;
  bool roundUp = false;
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      anyDigit = true;
      if (fractionDigits < 4) {
        units = units * 10 + (text[i] - '0');
        ++fractionDigits;
      } else if (fractionDigits == 4) {
        roundUp = text[i] >= '5';
        ++fractionDigits;
      }
    }
  }
  if (!anyDigit || i != text.size()) return std::nullopt;
  for (; fractionDigits < 4; ++fractionDigits) units *= 10;
  if (roundUp) ++units;
  return db::Decimal{negative ? -units : units, 4};
}

InvoiceOptions ReadInvoiceOptions(const ValueList& others) {
  InvoiceOptions options;
  options.printerModel = PrinterModelNumber(others.Value("CustomizedExport"));
  options.printerPort = others.Value("CustomizedSerial");
  if (auto change = ParseFixed4(others.Value("CustomizedKusur"))) options.changeAmount = *change;
  options.signatureLine = others.Value("CustomizedPotpis") == "1";
  options.taxLabelCodes = others.Value("CustomizedTaxLabels") == "1";
  options.keepJson = others.Value("CustomizedJSON") == "1";
  return options;
}

}  // namespace telvano::invoice
