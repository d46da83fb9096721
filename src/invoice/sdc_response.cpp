#include "invoice/sdc_response.h"

#include <charconv>
#include <nlohmann/json.hpp>
#include <optional>

#include "core/text_utils.h"
#include "invoice/csv_invoice.h"
#include "invoice/invoice_error.h"
#include "invoice/json_writer.h"
#include "sdc/processor_json.h"

namespace telvano::invoice {
namespace {

using Json = nlohmann::json;

// The text of a JSON value: a string's content, a number's literal, a boolean's word; nullopt otherwise.
std::optional<std::string> ValueText(const Json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) return std::nullopt;
  const Json& value = *it;
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer()) return value.dump();
  if (value.is_number_float()) {
    const double number = value.get<double>();
    if (!std::isfinite(number)) return std::nullopt;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed);
    // A number whose fixed form does not fit (1e300) is no amount or counter of a receipt: the default.
    if (result.ec != std::errc()) return std::nullopt;
    return std::string(buffer, result.ptr);
  }
  if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
  return std::nullopt;
}

std::string Text(const Json& object, const char* key) { return ValueText(object, key).value_or(std::string()); }

std::int32_t Integer(const Json& object, const char* key) {
  const auto text = ValueText(object, key);
  if (!text) return -1;
  std::string_view digits = *text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int32_t value = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec != std::errc() || result.ptr != digits.data() + digits.size() || digits.empty()) return -1;
  return value;
}

db::Decimal Fixed4(const Json& object, const char* key) {
  const auto text = ValueText(object, key);
  if (!text) return db::Decimal{-10000, 4};
  return ParseFixed4(*text).value_or(db::Decimal{-10000, 4});
}

TSdcTaxItem ReadTaxItem(const Json& element) {
  if (!element.is_object()) throw InvoiceError(kMessageNoTaxItems);
  TSdcTaxItem item;
  item.categoryType = Integer(element, "categoryType");
  item.label = Text(element, "label");
  item.amount = Fixed4(element, "amount");
  item.rate = Fixed4(element, "rate");
  item.categoryName = Text(element, "categoryName");
  return item;
}

}  // namespace

std::string TSdcResponse::SdcDate() const { return core::Utf8Prefix(sdcDateTime, 10); }

TSdcResponse ParseSdcResponse(std::string_view jsonText) {
  Json root = sdc::ParseProcessorJson(jsonText);
  if (root.is_discarded()) {
    throw InvoiceError("SDC odgovor nije ispravan JSON! / SDC answer is not valid JSON!");
  }
  if (!root.is_object()) throw InvoiceError("SDC odgovor nije JSON objekat! / SDC answer is not a JSON object!");
  TSdcResponse response;
  response.requestedBy = Text(root, "requestedBy");
  response.sdcDateTime = Text(root, "sdcDateTime");
  response.invoiceCounter = Text(root, "invoiceCounter");
  response.invoiceCounterExtension = Text(root, "invoiceCounterExtension");
  response.invoiceNumber = Text(root, "invoiceNumber");
  const auto taxItems = root.find("taxItems");
  if (taxItems == root.end() || !taxItems->is_array()) throw InvoiceError(kMessageNoTaxItems);
  for (const Json& element : *taxItems) response.taxItems.push_back(ReadTaxItem(element));
  response.verificationUrl = Text(root, "verificationUrl");
  response.verificationQRCode = Text(root, "verificationQRCode");
  response.journal = Text(root, "journal");
  response.messages = Text(root, "messages");
  response.signedBy = Text(root, "signedBy");
  response.encryptedInternalData = Text(root, "encryptedInternalData");
  response.signature = Text(root, "signature");
  response.totalCounter = Integer(root, "totalCounter");
  response.transactionTypeCounter = Integer(root, "transactionTypeCounter");
  response.totalAmount = Fixed4(root, "totalAmount");
  response.taxGroupRevision = Integer(root, "taxGroupRevision");
  response.businessName = Text(root, "businessName");
  response.tin = Text(root, "tin");
  response.locationName = Text(root, "locationName");
  response.address = Text(root, "address");
  response.district = Text(root, "district");
  response.mrc = Text(root, "mrc");
  return response;
}

std::string RenderInteger(std::int64_t value) { return std::to_string(value); }

std::string RenderDecimal(const db::Decimal& value) {
  // Bring the value to four decimals first (the answer's fields always have scale 4).
  std::int64_t units = value.units;
  for (int s = value.scale; s < 4; ++s) units *= 10;
  for (int s = value.scale; s > 4; --s) units /= 10;
  const bool negative = units < 0;
  const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
  std::string text = std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  if (negative) text = "-" + text;
  return text;
}

bool IsMinusOne(const db::Decimal& value) { return RenderDecimal(value) == "-1"; }

}  // namespace telvano::invoice
