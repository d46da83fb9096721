#include "db/sql_script.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "db/settings.h"
#include "support/test_database.h"

namespace telvano::db {
namespace {

std::vector<std::pair<int, std::string>> Lines(const std::vector<ScriptStatement>& statements) {
  std::vector<std::pair<int, std::string>> lines;
  for (const ScriptStatement& statement : statements) lines.emplace_back(statement.lineNumber, statement.sql);
  return lines;
}

TEST(ScriptStatementsTest, OneStatementPerLineWithoutCommentsAndBlankLines) {
  const struct {
    const char* name;
    std::string text;
    std::vector<std::pair<int, std::string>> expected;
  } cases[] = {
      {"empty", "", {}},
      {"lf and a last line without end",
       "select 1 from rdb$database\nselect 2 from rdb$database",
       {{1, "select 1 from rdb$database"}, {2, "select 2 from rdb$database"}}},
      {"cr lf, blank lines and a tab line keep the numbering",
       "a\r\n\r\n   \r\n\t\r\nb\r\n",
       {{1, "a"}, {5, "b"}}},
      {"lone cr", "a\rb", {{1, "a"}, {2, "b"}}},
      {"comments start in the first column only",
       "# comment\n #not a comment\n#\nx # y",
       {{2, " #not a comment"}, {4, "x # y"}}},
      {"lines are neither trimmed nor joined",
       "  update t set a = 1  \nwhere b = 2",
       {{1, "  update t set a = 1  "}, {2, "where b = 2"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(Lines(ScriptStatements(c.text)), c.expected) << c.name;
}

TEST(RunScriptStatementsTest, AFailingStatementIsRecordedAndTheNextOneRuns) {
  testing::TestDatabase database;
  const auto statements = ScriptStatements(
      "insert into my_reg(reg_code, reg_desc) values('SCRIPT_A', '1')\n"
      "# a comment\n"
      "update my_reg set reg_desc = '2' where reg_code = 'SCRIPT_A'\n"
      "insert into no_such_table values(1)\n"
      " # not a comment\n"
      "insert into my_reg(reg_code, reg_desc) values('SCRIPT_B', 'after the failures');\n"
      // Transaction statements never reach the database: each statement is committed on its own already.
      "COMMIT WORK;\n"
      "  rollback\n");
  const ScriptRun run = RunScriptStatements(database.Db(), statements);

  EXPECT_EQ(run.executed, 4);
  EXPECT_FALSE(run.connectionLost);
  ASSERT_EQ(run.failures.size(), 3u);
  EXPECT_EQ(run.failures[0].statement.lineNumber, 4);
  EXPECT_NE(run.failures[0].error.find("NO_SUCH_TABLE"), std::string::npos) << run.failures[0].error;
  EXPECT_EQ(run.failures[1].statement.lineNumber, 5);
  EXPECT_EQ(run.failures[1].statement.sql, " # not a comment");
  EXPECT_NE(run.failures[1].error.find("Token unknown"), std::string::npos) << run.failures[1].error;
  EXPECT_EQ(run.failures[2].statement.lineNumber, 8);
  EXPECT_NE(run.failures[2].error.find("committed on its own"), std::string::npos) << run.failures[2].error;
  EXPECT_EQ(ReadSetting(database.Db(), "SCRIPT_A"), "2");
  EXPECT_EQ(ReadSetting(database.Db(), "SCRIPT_B"), "after the failures");
}

TEST(RunScriptStatementsTest, ALostConnectionStopsTheRun) {
  testing::TestDatabase database;
  // A second attachment cut off by the first one stands in for a server that went away.
  auto victim = Database::Attach(Database::Options::For(database.Path()));
  const auto attachment =
      victim->QueryFirst("select current_connection from rdb$database")->operator[](0).AsInt64();
  database.Db().Execute("delete from mon$attachments where mon$attachment_id = ?", {attachment});
  const ScriptRun run = RunScriptStatements(
      *victim, ScriptStatements("select 1 from rdb$database\nselect 2 from rdb$database"));
  EXPECT_EQ(run.executed, 0);
  EXPECT_TRUE(run.failures.empty());
  ASSERT_TRUE(run.connectionLost);
  EXPECT_EQ(run.connectionLost->statement.lineNumber, 1);
}

}  // namespace
}  // namespace telvano::db
