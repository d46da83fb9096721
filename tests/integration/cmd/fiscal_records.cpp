#include "fiscal_records.h"

#include <stdexcept>

namespace telvano::cmd::testing {

namespace {

db::Param Amount(const std::string& text) {
  const auto value = db::Decimal::Parse(text);
  if (!value) throw std::invalid_argument("not an amount: " + text);
  return *value;
}

}  // namespace

void InsertFiscalInvoice(db::Database& database, const FiscalInvoice& invoice) {
  const std::string sdcDateTime = invoice.sdcDate + "T10:00:00.000+02:00";
  database.Execute(
      "insert into inv_request(inv_uuid, ext_filename, invoice_type, transaction_type, sdc_date) "
      "values(?, ?, ?, ?, ?)",
      {invoice.uuid, "INV_" + invoice.itType + "_" + invoice.uuid + ".CSV", invoice.itType.substr(0, 1),
       invoice.itType.substr(1, 1), invoice.sdcDate});
  database.Execute(
      "insert into inv_response(inv_uuid, requested_by, signed_by, sdc_date_time, sdc_date, total_counter, "
      "transaction_type_counter, total_amount, it_type) values(?, ?, ?, ?, ?, ?, ?, ?, ?)",
      {invoice.uuid, invoice.requestedBy, invoice.signedBy, sdcDateTime, invoice.sdcDate,
       std::int64_t{invoice.totalCounter}, std::int64_t{invoice.transactionTypeCounter},
       Amount(invoice.totalAmount), invoice.itType});
  for (const auto& tax : invoice.taxes) {
    database.Execute(
        "insert into inv_tax_items(inv_uuid, label, amount, sdc_date, requested_by, signed_by, it_type, "
        "label_cyr) values(?, ?, ?, ?, ?, ?, ?, ?)",
        {invoice.uuid, tax.label, Amount(tax.amount), invoice.sdcDate, invoice.requestedBy, invoice.signedBy,
         invoice.itType, tax.labelCyr});
  }
  std::int64_t row = 0;
  for (const auto& item : invoice.items) {
    database.Execute(
        "insert into inv_sale_items(inv_uuid, row_num, labels, labels_cyr, total_amount, sdc_date, "
        "requested_by, signed_by, it_type) values(?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {invoice.uuid, ++row, item.labels, item.labelsCyr, Amount(item.totalAmount), invoice.sdcDate,
         invoice.requestedBy, invoice.signedBy, invoice.itType});
  }
  row = 0;
  for (const auto& payment : invoice.payments) {
    database.Execute(
        "insert into inv_pay_items(inv_uuid, row_num, payment_type, amount, sdc_date, requested_by, signed_by, "
        "it_type) values(?, ?, ?, ?, ?, ?, ?, ?)",
        {invoice.uuid, ++row, payment.paymentType, Amount(payment.amount), invoice.sdcDate, invoice.requestedBy,
         invoice.signedBy, invoice.itType});
  }
}

}  // namespace telvano::cmd::testing
