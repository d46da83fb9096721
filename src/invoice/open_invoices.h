#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "core/configuration.h"
#include "core/service_report.h"
#include "db/database.h"

namespace telvano::invoice {

// Every invoice not finished yet, oldest first: the CSV invoices of inv_flight (held once the outcome is
// unknown or a step has failed), then the JSON invoices whose record waits in the archive (always held: their
// outcome is unknown). Raises db::DbError when inv_flight cannot be read.
std::vector<core::OpenInvoice> ListOpenInvoices(db::Database& database, const core::Configuration& configuration,
                                                std::chrono::system_clock::time_point now);

// The processor's time (sdc_date_time, as it gave it) of the newest signed invoice; "" when there is none.
// Looks at the last week's rows first, so a shop's years of receipts are not read every time.
std::string LastSignedTime(db::Database& database, std::chrono::system_clock::time_point now);

// An ISO 8601 time with its offset as processors write it ("2024-03-01T10:15:02.1234567+01:00", "…Z");
// nothing for any other text.
std::optional<std::chrono::system_clock::time_point> ParseProcessorTime(const std::string& text);

}  // namespace telvano::invoice
