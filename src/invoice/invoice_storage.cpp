#include "invoice/invoice_storage.h"

#include <random>

#include "invoice/csv_text.h"
#include "sdc/tax_labels.h"

namespace telvano::invoice {

using db::Param;
using db::SqlValue;

InvoiceStorage::InvoiceStorage(db::Database& database) : m_database(database) {}

bool InvoiceStorage::IsStored(const std::string& extFilename) {
  return m_database.QueryFirst("select inv_uuid from inv_request where ext_filename=?", {Param(extFilename)})
      .has_value();
}

std::size_t InvoiceStorage::StoreInvoice(const std::string& uuid, const InvoiceFileName& name,
                                         const ParsedInvoice& parsed, bool taxLabelCodes) {
  InsertRequest(uuid, name, parsed.others);
  const std::string cashier = parsed.others.Value("cashier");
  const std::string itType = name.ItType();
  for (std::size_t i = 0; i < parsed.itemLines.size(); ++i) {
    InsertSaleItem(uuid, i, SplitFields(parsed.itemLines[i]), cashier, itType, taxLabelCodes);
  }
  for (std::size_t i = 0; i < parsed.paymentLines.size(); ++i) {
    InsertPayItem(uuid, i, SplitFields(parsed.paymentLines[i]), cashier, itType);
  }
  return parsed.itemLines.size();
}

void InvoiceStorage::InsertRequest(const std::string& uuid, const InvoiceFileName& name, const ValueList& others) {
  m_database.Execute(
      "insert into inv_request(  inv_uuid, ext_filename, date_and_time_of_issue, invoice_type, transaction_type, "
      "cashier, buyer_id, buyer_cost_center_id, invoice_number, referent_document_number, referent_document_dt, "
      "omit_qrcode_gen, omit_textual_representation, request_id ) values( ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? )",
      {Param(uuid), Param(name.extFilename), SqlValue(others.Value("dateAndTimeOfIssue")),
       Param(name.invoiceType), Param(name.transactionType), SqlValue(others.Value("cashier")),
       SqlValue(others.Value("buyerId")), SqlValue(others.Value("buyerCostCenterId")),
       SqlValue(others.Value("invoiceNumber")), SqlValue(others.Value("referentDocumentNumber")),
       SqlValue(others.Value("referentDocumentDT")), SqlValue(others.Value("OmitQRCodeGen")),
       SqlValue(others.Value("OmitTextualRepresentation")), Param(nullptr)});
}

void InvoiceStorage::InsertSaleItem(const std::string& uuid, std::size_t rowNum,
                                    const std::vector<std::string>& fields, const std::string& cashier,
                                    const std::string& itType, bool taxLabelCodes) {
  // The file holds either letters or two-digit codes; both forms are stored.
  const std::string& labelField = fields[6];
  const std::string letters = taxLabelCodes ? sdc::TaxLabelCodesToLetters(labelField) : labelField;
  const std::string codes = taxLabelCodes ? labelField : sdc::TaxLabelLettersToCodes(labelField);
  m_database.Execute(
      "insert into inv_sale_items(  inv_uuid, row_num, gtin, name, unit_price, quantity, uom, total_amount, "
      "labels, cashier, it_type, labels_cyr ) values( ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ? )",
      {Param(uuid), Param(static_cast<std::int64_t>(rowNum)), SqlValue(fields[0]), SqlValue(fields[1]),
       SqlValue(fields[2]), SqlValue(fields[3]), SqlValue(fields[4]), SqlValue(fields[5]), SqlValue(letters),
       SqlValue(cashier), Param(itType), SqlValue(codes)});
}

void InvoiceStorage::InsertPayItem(const std::string& uuid, std::size_t rowNum,
                                   const std::vector<std::string>& fields, const std::string& cashier,
                                   const std::string& itType) {
  m_database.Execute(
      "insert into inv_pay_items( inv_uuid, row_num, amount, payment_type, cashier, it_type ) "
      "values( ?, ?, ?, ?, ?, ? )",
      {Param(uuid), Param(static_cast<std::int64_t>(rowNum)), SqlValue(fields[2]), SqlValue(fields[0]),
       SqlValue(cashier), Param(itType)});
}

void InvoiceStorage::RollbackInvoice(const std::string& uuid) {
  for (const char* table : {"inv_request", "inv_sale_items", "inv_pay_items", "inv_response", "inv_tax_items"}) {
    m_database.Execute(std::string("delete from ") + table + " where inv_uuid=?", {Param(uuid)});
  }
}

std::string NewInvoiceUuid() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device random;
  unsigned char bytes[16];
  for (int i = 0; i < 16; i += 4) {
    const auto value = random();
    for (int k = 0; k < 4; ++k) bytes[i + k] = static_cast<unsigned char>(value >> (8 * k));
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4: random
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  std::string text;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text.push_back('-');
    text.push_back(kHex[bytes[i] >> 4]);
    text.push_back(kHex[bytes[i] & 0x0F]);
  }
  return text;
}

}  // namespace telvano::invoice
