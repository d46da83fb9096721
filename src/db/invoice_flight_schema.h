#pragma once

#include <string>

#include "db/database.h"

namespace telvano::db {

// The table of invoices in flight: one row from the moment an invoice's rows are committed until its input
// is gone, so that a crash, a lost answer or a lost connection never loses or repeats a signed invoice.
//
// inv_flight  inv_uuid VARCHAR(36) NOT NULL PRIMARY KEY, input_name VARCHAR(255) (the POS's own spelling),
//             ext_filename VARCHAR(255) (upper-cased, as in inv_request), state SMALLINT (see
//             invoice/invoice_flight.h), options VARCHAR(2000) (the invoice's printing and keeping options),
//             item_count INTEGER, printed SMALLINT (the receipt went to the printer), attempts INTEGER,
//             last_error VARCHAR(1000), created_at and updated_at TIMESTAMP; the processor it was sent to:
//             sdc_serial VARCHAR(64), sdc_kind VARCHAR(4) ("LPFR"/"VPFR"), sdc_url VARCHAR(500); input_hash
//             VARCHAR(64) (SHA-256 of the input's bytes, hex: a held input is known by its content);
//             closed_at_ms BIGINT (when the connection that carried the request ended, ms since 1970 UTC);
//             road VARCHAR(8) (null: the POS's exchange folder; 'API': the local HTTP API); index on ext_filename
//
// It stands beside the schema of the version marks: the marks are fixed texts, so the table is created
// wherever it is missing rather than by an upgrade step.
void EnsureInvoiceFlightTable(Database& database);

// The added columns' names and types in one text: it changes whenever a column is added (a prepared copy of
// a database, as the tests keep, is then made again).
std::string InvoiceFlightColumnsMark();

}  // namespace telvano::db
