#include "db/invoice_flight_schema.h"

namespace telvano::db {

void EnsureInvoiceFlightTable(Database& database) {
  if (database.QueryFirst("select 1 from rdb$relations where rdb$relation_name = 'INV_FLIGHT'")) return;
  // DDL is committed on its own: the index needs the committed table.
  database.Execute(
      "CREATE TABLE INV_FLIGHT (INV_UUID VARCHAR(36) NOT NULL PRIMARY KEY, INPUT_NAME VARCHAR(255), "
      "EXT_FILENAME VARCHAR(255), STATE SMALLINT NOT NULL, OPTIONS VARCHAR(2000), ITEM_COUNT INTEGER, "
      "PRINTED SMALLINT DEFAULT 0, ATTEMPTS INTEGER DEFAULT 0, LAST_ERROR VARCHAR(1000), CREATED_AT TIMESTAMP, UPDATED_AT TIMESTAMP)");
  database.Execute("CREATE INDEX INV_FLIGHT_EXT_FILENAME ON INV_FLIGHT (EXT_FILENAME)");
}

}  // namespace telvano::db
