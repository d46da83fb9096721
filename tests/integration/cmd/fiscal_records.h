#pragma once

#include <string>
#include <vector>

#include "db/database.h"

namespace telvano::cmd::testing {

// The rows that a fiscalised invoice leaves in the four fiscal tables, written directly with bound values.
struct FiscalTax {
  std::string label;
  std::string labelCyr;
  std::string amount;
};

struct FiscalItem {
  std::string labels;
  std::string labelsCyr;
  std::string totalAmount;
};

struct FiscalPayment {
  std::string paymentType;
  std::string amount;
};

struct FiscalInvoice {
  std::string uuid;
  std::string sdcDate;
  std::string itType;
  std::string requestedBy;
  std::string signedBy;
  int transactionTypeCounter = 0;
  int totalCounter = 0;
  std::string totalAmount;
  std::vector<FiscalTax> taxes;
  std::vector<FiscalItem> items;
  std::vector<FiscalPayment> payments;
};

void InsertFiscalInvoice(db::Database& database, const FiscalInvoice& invoice);

}  // namespace telvano::cmd::testing
