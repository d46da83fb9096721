#include "db/invoice_flight_schema.h"

namespace telvano::db {

namespace {

// Columns added after the table first shipped: a table of an older version gains them where missing.
struct AddedColumn {
  const char* name;
  const char* type;
};
constexpr AddedColumn kAddedColumns[] = {
    {"SDC_SERIAL", "VARCHAR(64)"}, {"SDC_KIND", "VARCHAR(4)"},   {"SDC_URL", "VARCHAR(500)"},
    {"INPUT_HASH", "VARCHAR(64)"}, {"CLOSED_AT_MS", "BIGINT"},  {"ROAD", "VARCHAR(8)"},
};

bool HasColumn(Database& database, const char* column) {
  return database
      .QueryFirst("select 1 from rdb$relation_fields where rdb$relation_name = 'INV_FLIGHT' and "
                  "trim(rdb$field_name) = ?",
                  {Param(std::string(column))})
      .has_value();
}

}  // namespace

void EnsureInvoiceFlightTable(Database& database) {
  if (!database.QueryFirst("select 1 from rdb$relations where rdb$relation_name = 'INV_FLIGHT'")) {
    // DDL is committed on its own: the index needs the committed table.
    database.Execute(
        "CREATE TABLE INV_FLIGHT (INV_UUID VARCHAR(36) NOT NULL PRIMARY KEY, INPUT_NAME VARCHAR(255), "
        "EXT_FILENAME VARCHAR(255), STATE SMALLINT NOT NULL, OPTIONS VARCHAR(2000), ITEM_COUNT INTEGER, "
        "PRINTED SMALLINT DEFAULT 0, ATTEMPTS INTEGER DEFAULT 0, LAST_ERROR VARCHAR(1000), CREATED_AT TIMESTAMP, "
        "UPDATED_AT TIMESTAMP)");
    database.Execute("CREATE INDEX INV_FLIGHT_EXT_FILENAME ON INV_FLIGHT (EXT_FILENAME)");
  }
  for (const AddedColumn& column : kAddedColumns) {
    if (!HasColumn(database, column.name)) {
      database.Execute(std::string("ALTER TABLE INV_FLIGHT ADD ") + column.name + " " + column.type);
    }
  }
}

std::string InvoiceFlightColumnsMark() {
  std::string mark;
  for (const AddedColumn& column : kAddedColumns) mark += std::string(column.name) + " " + column.type + ";";
  return mark;
}

}  // namespace telvano::db
