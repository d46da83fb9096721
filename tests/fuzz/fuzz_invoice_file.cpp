// libFuzzer target: an invoice file from its raw bytes to the parsed invoice and its options, the way the
// invoice handler reads it before anything reaches the database. An input holding a NUL byte gives its
// file name before the first NUL and the file's bytes after it; any other input is the file alone.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "invoice/csv_invoice.h"
#include "invoice/csv_text.h"
#include "invoice/invoice_error.h"
#include "invoice/sdc_response.h"
#include "sdc/tax_labels.h"

namespace {

using namespace telvano::invoice;

// A broken promise of the reader: stops the run so that libFuzzer keeps the input.
void Check(bool condition) {
  if (!condition) __builtin_trap();
}

const InvoiceValueLists& Lists() {
  static const InvoiceValueLists lists;
  return lists;
}

void ReadName(const std::string& name) {
  try {
    const InvoiceFileName checked = CheckInvoiceFileName(name, Lists());
    Check(checked.fileName == name);
    Check(Lists().InvoiceTypes.Contains(checked.invoiceType));
    Check(Lists().TransactionTypes.Contains(checked.transactionType));
    Check(name.find('/') == std::string::npos && name.find('\0') == std::string::npos);
  } catch (const InvoiceError&) {
  }
}

void ReadAmount(const std::string& text) {
  const auto amount = ParseFixed4(text);
  if (!amount) return;
  // What the answer side renders must read back as the same amount.
  const auto again = ParseFixed4(RenderDecimal(*amount));
  Check(again && *again == *amount);
}

void ReadBody(std::string_view bytes, const char* codePage) {
  std::string text;
  try {
    text = DecodeInvoiceText(bytes, codePage);
  } catch (const InvoiceError&) {
    return;  // not UTF-8 while UTF-8 is configured
  }
  Check(IsValidUtf8(text));
  const std::vector<std::string> lines = SplitInvoiceLines(text);
  for (const std::string& line : lines) {
    Check(line.find_first_of("\r\n") == std::string::npos);
    const std::vector<std::string> fields = SplitFields(line);
    Check(!fields.empty());  // a line of blanks only is never kept
    Check(CountFields(line) == fields.size());
    Check(FirstField(line) == fields.front());
  }

  ParsedInvoice parsed;
  try {
    parsed = ParseInvoiceLines(lines);
  } catch (const InvoiceError&) {
    return;  // a missing block, end of block or column
  }
  // What the storage takes from every line, short of the database.
  for (const std::string& line : parsed.itemLines) {
    const std::vector<std::string> fields = SplitFields(line);
    Check(fields.size() >= 7);
    telvano::sdc::TaxLabelCodesToLetters(fields[6]);
    telvano::sdc::TaxLabelLettersToCodes(fields[6]);
    for (std::size_t i = 2; i < 6; ++i) ReadAmount(fields[i]);
  }
  for (const std::string& line : parsed.paymentLines) {
    const std::vector<std::string> fields = SplitFields(line);
    Check(fields.size() >= 3 && !fields[2].empty());
    ReadAmount(fields[2]);
  }
  const InvoiceOptions options = ReadInvoiceOptions(parsed.others);
  Check(options.printerModel >= -1 && options.printerModel <= 4);
  for (const auto& [key, value] : parsed.others.Pairs()) ReadAmount(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  if (nul != std::string_view::npos) ReadName(std::string(input.substr(0, nul)));
  const std::string_view body = nul == std::string_view::npos ? input : input.substr(nul + 1);
  ReadBody(body, "UTF-8");
  ReadBody(body, "windows-1250");  // the shop's legacy code page configured
  return 0;
}
