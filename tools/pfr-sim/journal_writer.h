#pragma once

#include <string>
#include <vector>

#include "invoice_request.h"
#include "sim_options.h"
#include "sim_time.h"
#include "tax_calculator.h"

namespace telvano::pfrsim {

// What the receipt shows besides the request itself.
struct JournalFacts {
  TimePoint sdcDateTime;
  std::string invoiceNumber;   // "YJLQTEQR-YJLQTEQR-11389"
  std::string invoiceCounter;  // "8652/11389ПП"
  Decimal totalAmount;
  std::vector<TaxAmount> taxes;
};

// The receipt text as a processor returns it in "journal": 40 columns, CR LF after every line, money as
// "1.234,56", refund item totals negative.
class JournalWriter {
 public:
  JournalWriter(const SimOptions& options, const SimTime& time);
  std::string Write(const InvoiceRequest& request, const JournalFacts& facts) const;

 private:
  void AddHeader(std::vector<std::string>& lines) const;
  static void AddItems(std::vector<std::string>& lines, const InvoiceRequest& request);
  static void AddTaxTable(std::vector<std::string>& lines, const std::vector<TaxAmount>& taxes);

  const SimOptions& m_options;
  const SimTime& m_time;
};

}  // namespace telvano::pfrsim
