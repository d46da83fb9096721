#pragma once

#include "db/database.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace telvano::db {

// The schema-version marks stored under DB_VERSION. They are texts and stay exactly as written,
// whatever Firebird version actually runs the database.
inline constexpr const char* kDbVersion10_10 = "ODS13.0/FB4.0/DDL10.10";
inline constexpr const char* kDbVersion10_12 = "ODS13.0/FB4.0/DDL10.12";
inline constexpr const char* kDbVersion10_14 = "ODS13.0/FB4.0/DDL10.14";
inline constexpr const char* kDbVersion10_16 = "ODS13.0/FB4.0/DDL10.16";
inline constexpr const char* kCurrentDbVersion = kDbVersion10_16;
inline constexpr const char* kDbVersionKey = "DB_VERSION";

enum class SchemaLevel { Ddl10_10, Ddl10_12, Ddl10_14, Ddl10_16 };

// The DB_VERSION mark of a level.
const char* VersionMark(SchemaLevel level);

// The schema is unusable: no mark, an unknown mark, or an upgrade step that failed. The caller shows
// message 3 and ends the start-up; what() says what went wrong (for the log, never for the POS).
class SchemaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One upgrade step: from one mark to the next, its ALTER statements in order.
struct UpgradeStep {
  const char* from;
  const char* to;
  std::vector<std::string> statements;
};

// The three steps 10.10 -> 10.12 -> 10.14 -> 10.16, statement texts exactly as the schema history has them.
const std::vector<UpgradeStep>& UpgradeSteps();

// The statements that create the base schema at level 10.10 (domains, tables, keys, indexes), in order.
const std::vector<std::string>& BaseSchemaStatements();

// Called with each upgrade statement just before it runs (for the log and for tests).
using StatementObserver = std::function<void(std::string_view statement)>;

// Fills a new, empty database: the five domains, every table with its keys and indexes at `level`, and the
// DB_VERSION row. A level above 10.10 is reached through the same upgrade steps an old database takes,
// so a fresh database and an upgraded one have the same columns and types.
void CreateSchema(Database& database, SchemaLevel level = SchemaLevel::Ddl10_16);

// Brings the schema to kCurrentDbVersion. Each step runs its statements and writes its new mark in ONE
// transaction, so a failing step leaves the database exactly at the level where it started and the next
// start retries it cleanly. Throws SchemaError for a missing or unknown mark and for any failed step.
void CheckAndUpgradeSchema(Database& database, const StatementObserver& observer = {});

// Proves that the database answers: the three count statements, one after the other. Errors (DbError) go
// to the caller, which shows message 2.
void ProbeDatabase(Database& database);

}  // namespace telvano::db
