#include "db/sql_script.h"

#include <gtest/gtest.h>

#include <string>

#include "db/settings.h"
#include "support/test_database.h"

namespace telvano::db {
namespace {

// "line:sql|line:sql|" of the statements of `text`.
std::string Lines(std::string_view text) {
  std::string lines;
  for (const ScriptStatement& statement : ScriptStatements(text))
    lines += std::to_string(statement.lineNumber) + ":" + statement.sql + "|";
  return lines;
}

TEST(ScriptStatementsTest, OneStatementPerLineWithoutCommentsAndBlankLines) {
  EXPECT_EQ(Lines(""), "");
  EXPECT_EQ(Lines("a\nb"), "1:a|2:b|");                       // the last line needs no line end
  EXPECT_EQ(Lines("a\r\n\r\n   \r\n\t\rb\r\n"), "1:a|5:b|");  // CR LF, CR; blank lines keep their numbers
  EXPECT_EQ(Lines("# comment\n #not a comment\nx # y"), "2: #not a comment|3:x # y|");
  EXPECT_EQ(Lines("  update t set a = 1  \nwhere b = 2"), "1:  update t set a = 1  |2:where b = 2|");
}

TEST(RunScriptStatementsTest, AFailingStatementIsRecordedAndTheNextOneRuns) {
  testing::TestDatabase database;
  const ScriptRun run = RunScriptStatements(
      database.Db(), ScriptStatements("insert into my_reg(reg_code, reg_desc) values('A', '1')\n"
                                      "update my_reg set reg_desc = '2' where reg_code = 'A'\n"
                                      "insert into no_such_table values(1)\n"
                                      " # not a comment\n"
                                      "insert into my_reg(reg_code, reg_desc) values('B', 'after');\n"
                                      "COMMIT WORK;\n"  // each statement is committed on its own already
                                      "  rollback\n"));
  EXPECT_EQ(run.done.size(), 4u);
  EXPECT_FALSE(run.connectionLost);
  ASSERT_EQ(run.failures.size(), 3u);
  EXPECT_EQ(run.failures[0].statement.lineNumber, 3);
  EXPECT_NE(run.failures[0].error.find("Table unknown\n-NO_SUCH_TABLE"), std::string::npos)
      << run.failures[0].error;
  EXPECT_NE(run.failures[1].error.find("Token unknown"), std::string::npos) << run.failures[1].error;
  EXPECT_NE(run.failures[2].error.find("committed on its own"), std::string::npos) << run.failures[2].error;
  EXPECT_EQ(ReadSetting(database.Db(), "A"), "2");
  EXPECT_EQ(ReadSetting(database.Db(), "B"), "after");
}

TEST(RunScriptStatementsTest, ALostConnectionStopsTheRun) {
  testing::TestDatabase database;
  // A second attachment cut off by the first one stands in for a server that went away.
  auto victim = Database::Attach(Database::Options::For(database.Path()));
  const auto id = victim->QueryFirst("select current_connection from rdb$database")->operator[](0).AsInt64();
  database.Db().Execute("delete from mon$attachments where mon$attachment_id = ?", {id});
  const ScriptRun run =
      RunScriptStatements(*victim, ScriptStatements("select 1 from rdb$database\nbad\n# note\nworse"));
  EXPECT_TRUE(run.done.empty());
  EXPECT_TRUE(run.failures.empty());
  ASSERT_TRUE(run.connectionLost);
  EXPECT_EQ(run.connectionLost->statement.lineNumber, 1);
  ASSERT_EQ(run.notRun.size(), 2u);
  EXPECT_EQ(run.notRun[0].lineNumber, 2);
  EXPECT_EQ(run.notRun[1].sql, "worse");
}

}  // namespace
}  // namespace telvano::db
