#include "core/db_version_reader.h"

#include "db/database.h"
#include "db/schema.h"
#include "db/settings.h"

namespace telvano::core {

DbVersionReader DbVersionFrom(const std::unique_ptr<db::Database>& connection) {
  return [&connection]() -> std::string {
    if (!connection || !connection->IsOpen()) throw db::DbError("the database is not connected");
    return db::ReadSetting(*connection, db::kDbVersionKey);
  };
}

}  // namespace telvano::core
