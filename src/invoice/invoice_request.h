#pragma once

#include <string>

#include "db/database.h"
#include "invoice/csv_invoice.h"

namespace telvano::invoice {

inline constexpr const char* kMessageNoInvoice = "Nema racuna!";

// Builds the processor's invoice request from the stored rows of invoice `uuid` (not from the file):
// one compact JSON object, members in the processor's order, optional texts left out when empty.
// Raises InvoiceError("Nema racuna!") when the header row is missing.
std::string BuildInvoiceRequest(db::Database& database, const std::string& uuid, const InvoiceValueLists& lists);

}  // namespace telvano::invoice
