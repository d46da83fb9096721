#pragma once

#include "db/database.h"

namespace telvano::db {

// The idempotency keys of the local HTTP API: one row per key a POS used to post an invoice, from the moment
// the request is taken until the key's retention ends, so that the same key with the same body returns the
// first outcome and never reaches the processor again.
//
// api_keys  idem_key VARCHAR(64) NOT NULL PRIMARY KEY (1-64 of A-Z a-z 0-9 _ -), body_hash VARCHAR(64) NOT
//           NULL (SHA-256 of the name and the text, hex), input_name VARCHAR(255) (the file name the body
//           gives), state SMALLINT NOT NULL (1 taken, 3 answered for good), http_status SMALLINT (the answer's,
//           once answered), created_at and done_at TIMESTAMP; index on state
//
// Like inv_flight it stands beside the fixed version marks: created wherever it is missing.
void EnsureApiKeyTable(Database& database);

}  // namespace telvano::db
