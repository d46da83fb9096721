#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/database.h"
#include "invoice/value_list.h"

namespace telvano::invoice {

// The largest invoice file the handler reads: a real receipt is a few kilobytes, a thousand items with long
// names stay below 300 KB.
inline constexpr std::size_t kMaxInvoiceFileBytes = 2u * 1024u * 1024u;

inline constexpr const char* kBlockItems = "BLOCK_ITEMS";
inline constexpr const char* kBlockPayments = "BLOCK_PAYMENTS";
inline constexpr const char* kBlockOthers = "BLOCK_OTHERS";

inline constexpr const char* kMessageNameIt = "Neodgovarajući naziv file-a - IT!";
inline constexpr const char* kMessageNameTt = "Neodgovarajući naziv file-a - TT!";
inline constexpr const char* kMessageNamePattern = "Neodgovarajući naziv file-a - pattern!";
inline constexpr const char* kMessageDuplicate = "Račun je već fiskalizovan!";
inline constexpr const char* kMessageNoEndOfBlock = "NEMA E-O-B";

// The three value lists of the invoice module.
struct InvoiceValueLists {
  ValueList InvoiceTypes{{"N", "Normal"}, {"P", "ProForma"}, {"C", "Copy"}, {"T", "Training"}, {"A", "Advance"}};
  ValueList TransactionTypes{{"S", "Sale"}, {"R", "Refund"}};
  ValueList PaymentTypes{{"Card", "Card"},   {"Cash", "Cash"},   {"Check", "Check"},
                         {"MobileMoney", "MobileMoney"},     {"Other", "Other"},
                         {"Voucher", "Voucher"}, {"WireTransfer", "WireTransfer"}};
};

// What the file name tells: the two type letters (upper-cased) and the name as stored.
struct InvoiceFileName {
  std::string fileName;     // as given
  std::string extFilename;  // upper-cased: the duplicate key
  std::string invoiceType;  // "N", "P", "C", "T" or "A"
  std::string transactionType;  // "S" or "R"
  bool hasCsvExtension = false;
  std::string ItType() const { return invoiceType + transactionType; }
};

// Checks the name INV_<I><T>_<rest>.<ext> in the order IT letter, TT letter, pattern; raises InvoiceError
// with the name message. A name holding a path separator or a NUL is refused as a pattern fault: the
// handler only ever opens files directly inside the input folder.
InvoiceFileName CheckInvoiceFileName(const std::string& fileName, const InvoiceValueLists& lists);

// The content lines of BLOCK_ITEMS (at least 7 fields each) or BLOCK_PAYMENTS (at least 3); any other
// block name asks for at least 2. Raises InvoiceError "NEMA <block>", "NEMA E-O-B" or the column message.
std::vector<std::string> ExtractBlock(const std::vector<std::string>& lines, std::string_view blockName);

// The key/value pairs (fields 1 and 2) of BLOCK_OTHERS, in file order.
ValueList ExtractPairs(const std::vector<std::string>& lines, std::string_view blockName);

// The parsed content of an invoice file.
struct ParsedInvoice {
  std::vector<std::string> itemLines;
  std::vector<std::string> paymentLines;  // lines with an empty amount already dropped
  ValueList others;
};

// Takes the three blocks in the order items, payments, others and drops payments without an amount.
ParsedInvoice ParseInvoiceLines(const std::vector<std::string>& lines);

// The options of BLOCK_OTHERS that steer the handling after storing.
struct InvoiceOptions {
  int printerModel = -1;        // CustomizedExport: EPSON 0, POSIFLEX 1, STAR 2, STAR-2 3, SAMTEC 4
  std::string printerPort;      // CustomizedSerial, unchanged
  db::Decimal changeAmount{-10000, 4};  // CustomizedKusur with four decimals, -1 when none
  bool signatureLine = false;   // CustomizedPotpis is "1"
  bool taxLabelCodes = false;   // CustomizedTaxLabels is "1"
  bool keepJson = false;        // CustomizedJSON is "1"
};

InvoiceOptions ReadInvoiceOptions(const ValueList& others);

// The printer model number of a CustomizedExport text (compared upper-cased), -1 for anything else.
int PrinterModelNumber(std::string_view exportText);

// A decimal text with "." rounded half away from zero to four decimals; nullopt when it is not a number.
std::optional<db::Decimal> ParseFixed4(std::string_view text);

}  // namespace telvano::invoice
