#include "db/api_key_schema.h"

namespace telvano::db {

void EnsureApiKeyTable(Database& database) {
  if (database.QueryFirst("select 1 from rdb$relations where rdb$relation_name = 'API_KEYS'")) return;
  // DDL is committed on its own: the index needs the committed table.
  database.Execute(
      "CREATE TABLE API_KEYS (IDEM_KEY VARCHAR(64) NOT NULL PRIMARY KEY, BODY_HASH VARCHAR(64) NOT NULL, "
      "INPUT_NAME VARCHAR(255), STATE SMALLINT NOT NULL, HTTP_STATUS SMALLINT, CREATED_AT TIMESTAMP, "
      "DONE_AT TIMESTAMP)");
  database.Execute("CREATE INDEX API_KEYS_STATE ON API_KEYS (STATE)");
}

}  // namespace telvano::db
