#include "db/sql_script.h"

namespace telvano::db {

namespace {

bool BlankOnly(std::string_view line) {
  for (const char c : line) {
    if (static_cast<unsigned char>(c) > ' ') return false;
  }
  return true;
}

// The first `count` words of a statement in upper case, joined by one blank (ASCII letters only: a keyword
// needs no more).
std::string FirstWords(std::string_view sql, int count) {
  std::string words;
  std::size_t at = 0;
  for (int word = 0; word < count; ++word) {
    while (at < sql.size() && static_cast<unsigned char>(sql[at]) <= ' ') ++at;
    if (at >= sql.size()) break;
    if (!words.empty()) words += ' ';
    while (at < sql.size() && static_cast<unsigned char>(sql[at]) > ' ' && sql[at] != ';') {
      const char c = sql[at++];
      words += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
  }
  return words;
}

}  // namespace

std::vector<ScriptStatement> ScriptStatements(std::string_view text) {
  std::vector<ScriptStatement> statements;
  int lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    ++lineNumber;
    if (!BlankOnly(line) && line.front() != '#') statements.push_back({lineNumber, std::string(line)});
    start = end;
    if (start < text.size() && text[start] == '\r') ++start;
    if (start < text.size() && text[start] == '\n') ++start;
  }
  return statements;
}

ScriptRun RunScriptStatements(Database& database, const std::vector<ScriptStatement>& statements) {
  ScriptRun run;
  for (auto next = statements.begin(); next != statements.end(); ++next) {
    const ScriptStatement& statement = *next;
    // Each statement already runs in a transaction of its own that is committed at once. A transaction
    // statement of the script's would end or replace that transaction behind the connection's back, so
    // none reaches the database: COMMIT has nothing left to do, and ROLLBACK or SET TRANSACTION could only
    // mislead (what ran before is committed already).
    const std::string first = FirstWords(statement.sql, 1);
    if (first == "COMMIT") {
      run.done.push_back(statement);
      continue;
    }
    if (first == "ROLLBACK" || FirstWords(statement.sql, 2) == "SET TRANSACTION") {
      run.failures.push_back({statement,
                              "not run: every statement of a script is committed on its own, so there is no "
                              "transaction to roll back or to set"});
      continue;
    }
    try {
      database.Execute(statement.sql);
      run.done.push_back(statement);
    } catch (const DbError& error) {
      if (error.ConnectionLost()) {
        run.connectionLost = ScriptFailure{statement, error.what()};
        run.notRun.assign(next + 1, statements.end());
        break;
      }
      run.failures.push_back({statement, error.what()});
    }
  }
  return run;
}

}  // namespace telvano::db
