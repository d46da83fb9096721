#include "invoice/invoice_request.h"

#include <charconv>

#include "invoice/invoice_error.h"
#include "invoice/json_writer.h"

namespace telvano::invoice {
namespace {

// A stored number as the double it stands for; null reads as 0.
double ColumnDouble(const db::Field& field) {
  if (field.IsNull()) return 0;
  const std::string text = field.AsString();
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
    throw InvoiceError("Neispravan broj u bazi: " + text);
  }
  return value;
}

void OptionalString(JsonWriter& json, const char* key, const db::Row& row, const char* column) {
  const std::string value = row[column].AsString();
  if (!value.empty()) json.Key(key).String(value);
}

// One element per character (code point) of the stored labels.
void LabelArray(JsonWriter& json, const std::string& labels) {
  json.BeginArray();
  std::size_t i = 0;
  while (i < labels.size()) {
    const auto lead = static_cast<unsigned char>(labels[i]);
    std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 1;
    if (i + length > labels.size()) length = labels.size() - i;
    json.String(std::string_view(labels).substr(i, length));
    i += length;
  }
  json.EndArray();
}

}  // namespace

std::string BuildInvoiceRequest(db::Database& database, const std::string& uuid, const InvoiceValueLists& lists) {
  const auto header = database.QueryFirst("select * from inv_request where inv_uuid=?", {db::Param(uuid)});
  if (!header) throw InvoiceError(kMessageNoInvoice);
  const db::Row& request = *header;

  JsonWriter json;
  json.BeginObject();
  OptionalString(json, "cashier", request, "cashier");
  json.Key("invoiceType").String(lists.InvoiceTypes.Value(request["invoice_type"].AsString()));
  json.Key("transactionType").String(lists.TransactionTypes.Value(request["transaction_type"].AsString()));
  OptionalString(json, "dateAndTimeOfIssue", request, "date_and_time_of_issue");
  OptionalString(json, "invoiceNumber", request, "invoice_number");
  OptionalString(json, "referentDocumentNumber", request, "referent_document_number");
  OptionalString(json, "referentDocumentDT", request, "referent_document_dt");
  OptionalString(json, "buyerId", request, "buyer_id");
  OptionalString(json, "buyerCostCenterId", request, "buyer_cost_center_id");
  OptionalString(json, "OmitQRCodeGen", request, "omit_qrcode_gen");
  OptionalString(json, "OmitTextualRepresentation", request, "omit_textual_representation");

  json.Key("payment").BeginArray();
  for (const db::Row& payment :
       database.Query("select * from inv_pay_items where inv_uuid=? order by row_num", {db::Param(uuid)})) {
    json.BeginObject();
    json.Key("amount").Number(ColumnDouble(payment["amount"]));
    json.Key("paymentType").String(payment["payment_type"].AsString());
    json.EndObject();
  }
  json.EndArray();

  json.Key("items").BeginArray();
  for (const db::Row& item :
       database.Query("select * from inv_sale_items where inv_uuid=? order by row_num", {db::Param(uuid)})) {
    json.BeginObject();
    OptionalString(json, "gtin", item, "gtin");
    json.Key("name").String(item["name"].AsString());
    json.Key("quantity").Number(ColumnDouble(item["quantity"]));
    json.Key("uom").String(item["uom"].AsString());
    json.Key("unitPrice").Number(ColumnDouble(item["unit_price"]));
    json.Key("labels");
    LabelArray(json, item["labels"].AsString());
    json.Key("totalAmount").Number(ColumnDouble(item["total_amount"]));
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  return json.Text();
}

}  // namespace telvano::invoice
