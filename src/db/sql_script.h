#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"

namespace telvano::db {

// One statement of an SQL script: the line exactly as it stands in the file and its number there (from 1).
struct ScriptStatement {
  int lineNumber = 0;
  std::string sql;
};

// The statements of a script's text, one per line (lines end with LF, CR LF or CR; a statement is never
// joined with the next line). Left out: lines that are empty or hold only blanks and control characters, and
// lines whose first character is "#". A line with a blank before its "#" is a statement (and fails as one).
std::vector<ScriptStatement> ScriptStatements(std::string_view text);

// A statement that failed, with Firebird's text (every line of its status, joined by "\n").
struct ScriptFailure {
  ScriptStatement statement;
  std::string error;
};

struct ScriptRun {
  std::vector<ScriptStatement> done;    // statements that ran without error, in the order of the script
  std::vector<ScriptFailure> failures;  // in the order of the script
  // The statement at which the link to the database was lost: whether its commit reached the database
  // before the link went is not known. The ones after it did not run (notRun, in order).
  std::optional<ScriptFailure> connectionLost;
  std::vector<ScriptStatement> notRun;
};

// Runs the statements in order, each committed on its own. A failing statement is rolled back and
// recorded, and the next one runs: a failure never stops the script, except a lost connection, after which
// nothing could run any more. Never raises for a statement's failure.
// Transaction statements of the script never reach the database (they would end the statement's own
// transaction): COMMIT counts as done, since everything before it is committed already; ROLLBACK and
// SET TRANSACTION are recorded as failures, since nothing can be undone or set by them.
ScriptRun RunScriptStatements(Database& database, const std::vector<ScriptStatement>& statements);

}  // namespace telvano::db
