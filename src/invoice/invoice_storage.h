#pragma once

#include <string>
#include <vector>

#include "db/database.h"
#include "invoice/csv_invoice.h"

namespace telvano::invoice {

// The request side of an invoice in the database: the duplicate check, the header, item and payment rows,
// and the undo of a failed invoice. Every value from the POS file is a bound parameter: an empty text is
// stored as null, any other text exactly as written (apostrophes included).
class InvoiceStorage {
 public:
  explicit InvoiceStorage(db::Database& database);

  // True when an invoice with this upper-cased file name is stored.
  bool IsStored(const std::string& extFilename);

  // Stores the header row, one row per item line (row_num from 0) and one per payment line. Returns the
  // number of item rows. Outside a transaction every insert commits on its own (RollbackInvoice then removes
  // what a failure left).
  std::size_t StoreInvoice(const std::string& uuid, const InvoiceFileName& name, const ParsedInvoice& parsed,
                           bool taxLabelCodes);

  // Deletes every row of the invoice from the five invoice tables.
  void RollbackInvoice(const std::string& uuid);

 private:
  void InsertRequest(const std::string& uuid, const InvoiceFileName& name, const ValueList& others);
  void InsertSaleItem(const std::string& uuid, std::size_t rowNum, const std::vector<std::string>& fields,
                      const std::string& cashier, const std::string& itType, bool taxLabelCodes);
  void InsertPayItem(const std::string& uuid, std::size_t rowNum, const std::vector<std::string>& fields,
                     const std::string& cashier, const std::string& itType);

  db::Database& m_database;
};

// A new random identifier: 36 lower-case characters, 8-4-4-4-12 hexadecimal digits with hyphens.
std::string NewInvoiceUuid();

}  // namespace telvano::invoice
