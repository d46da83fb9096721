#pragma once

#include <string>
#include <vector>

#include "invoice_request.h"
#include "tax_rate_table.h"

namespace telvano::pfrsim {

// The tax of one label on one invoice, amount with four decimals.
struct TaxAmount {
  std::string label;
  std::string categoryName;
  int categoryType = kTaxOnNet;
  Decimal rate;
  Decimal amount;
};

// Tax per label, in the order of the group's categories and rates. TaxOnNet: the gross G of the items carrying
// the label holds the tax, tax = G × r / (100 + R) where R is the sum of the item's TaxOnNet rates (r alone for
// the usual single label). TaxOnTotal: tax = G × r / 100 on top of the gross. AmountPerQuantity: tax = quantity
// × r. Every label used appears, a zero rate with amount 0. Amounts are positive for refunds too.
std::vector<TaxAmount> ComputeTaxes(const std::vector<InvoiceItem>& items, const TaxGroup& group);

}  // namespace telvano::pfrsim
