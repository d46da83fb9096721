#include "db/settings.h"

#include "platform/text_case.h"

namespace telvano::db {

std::string ReadSetting(Database& database, std::string_view code) {
  std::optional<Row> row = database.QueryFirst("select reg_desc from my_reg where reg_code=?",
                                               {platform::ToUpperUnicode(code)});
  if (!row) return "";
  return (*row)[0].AsString();
}

namespace {

void InsertOrUpdate(Database& database, const std::string& key, const std::string& value) {
  try {
    database.Execute("insert into my_reg(reg_code,reg_desc) values(?,?)", {key, SqlValue(value)});
  } catch (const DbError&) {
    // The key exists (or the insert failed otherwise): replace the value. An update that finds no row
    // stored nothing, so the insert's own error is the one to report.
    if (database.ExecuteCounted("update my_reg set reg_desc=? where reg_code=?", {SqlValue(value), key}) == 0)
      throw;
  }
}

}  // namespace

void WriteSetting(Database& database, std::string_view code, const std::string& value) {
  const std::string key = platform::ToUpperUnicode(code);
  if (database.InTransaction()) {
    InsertOrUpdate(database, key, value);
    return;
  }
  // Insert and update share one transaction: a failed insert undoes only itself, and the pair costs one
  // commit (one write to disk) instead of two.
  Database::Transaction transaction(database);
  InsertOrUpdate(database, key, value);
  transaction.Commit();
}

}  // namespace telvano::db
