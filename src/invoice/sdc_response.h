#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"

namespace telvano::invoice {

// One element of the answer's taxItems, each field with its default when absent or unreadable.
struct TSdcTaxItem {
  std::int32_t categoryType = -1;
  std::string label;
  db::Decimal amount{-10000, 4};
  db::Decimal rate{-10000, 4};
  std::string categoryName;
};

// The processor's answer to an invoice, each field with its default when absent or unreadable.
struct TSdcResponse {
  std::string requestedBy;
  std::string sdcDateTime;
  std::string invoiceCounter;
  std::string invoiceCounterExtension;
  std::string invoiceNumber;
  std::vector<TSdcTaxItem> taxItems;
  std::string verificationUrl;
  std::string verificationQRCode;
  std::string journal;
  std::string messages;
  std::string signedBy;
  std::string encryptedInternalData;
  std::string signature;
  std::int32_t totalCounter = -1;
  std::int32_t transactionTypeCounter = -1;
  db::Decimal totalAmount{-10000, 4};
  std::int32_t taxGroupRevision = -1;
  std::string businessName;
  std::string tin;
  std::string locationName;
  std::string address;
  std::string district;
  std::string mrc;

  // The first 10 characters of sdcDateTime: the fiscal date.
  std::string SdcDate() const;
};

inline constexpr const char* kMessageNoTaxItems = "SDC odgovor nema taxItems! / SDC answer without taxItems!";

// Reads the answer text. Raises InvoiceError when the text is not one JSON object or when taxItems is
// absent or not an array of objects; every other field falls back to its default on its own.
TSdcResponse ParseSdcResponse(std::string_view jsonText);

// Integer rendering: decimal digits with a leading minus when negative.
std::string RenderInteger(std::int64_t value);
// Decimal rendering: shortest form with ".", no trailing zeros or point, at most 4 decimals (20, 12.5, -1).
std::string RenderDecimal(const db::Decimal& value);
bool IsMinusOne(const db::Decimal& value);

}  // namespace telvano::invoice
