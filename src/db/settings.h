#pragma once

#include "db/database.h"

#include <string>
#include <string_view>

namespace telvano::db {

// The settings store: table my_reg, one row per key. Keys are upper-cased by the full Unicode rules, so
// "db_version" and "DB_VERSION" are one key; values are stored exactly as given (an empty value as null).

// The value stored under `code`; an empty text when the key has no row or its value is null.
std::string ReadSetting(Database& database, std::string_view code);

// Stores `value` under `code`: insert, and when the insert fails (above all because the key exists)
// replace the value. Raises DbError when neither stores the value.
void WriteSetting(Database& database, std::string_view code, const std::string& value);

}  // namespace telvano::db
