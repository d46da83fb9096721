#include "db/database.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace telvano::db {
namespace {

using testing::TempDir;
using testing::TestDatabase;

class DatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Db().Execute(
        "create table t (id integer not null primary key, amount numeric(18,4), small numeric(9,2), "
        "txt varchar(100), fixed char(5), stamp timestamp, flag boolean)");
  }
  Database& Db() { return m_database.Db(); }
  TestDatabase m_database;
};

TEST_F(DatabaseTest, TransactionStatementsAreRefusedAndTheConnectionGoesOn) {
  // Run as plain statements they would end the transaction this layer owns (a crash, before).
  for (const char* statement : {"commit", "rollback", "set transaction read committed"}) {
    EXPECT_THROW(Db().Execute(statement), DbError) << statement;
  }
  Db().Execute("insert into t(id) values(1)");
  EXPECT_EQ(Db().Query("select id from t").size(), 1u);
}

TEST_F(DatabaseTest, ExactNumericRoundTripsWithoutDouble) {
  // 2^53 + 1 units cannot be held by a double; it must come back unchanged.
  Decimal big{9007199254740993LL, 4};
  Db().Execute("insert into t(id, amount, small) values(?, ?, ?)", {std::int64_t{1}, big, Decimal{-5, 2}});
  Db().Execute("insert into t(id, amount, small) values(?, ?, ?)", {std::int64_t{2}, std::string("12.5"),
                                                                   std::string("0.01")});
  auto rows = Db().Query("select amount, small from t order by id");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["amount"].AsString(), "900719925474.0993");
  EXPECT_EQ(rows[0]["AMOUNT"].AsDecimal().units, 9007199254740993LL);
  EXPECT_EQ(rows[0]["small"].AsString(), "-0.05");
  EXPECT_EQ(rows[1]["amount"].AsString(), "12.5000");
  EXPECT_EQ(rows[1]["small"].AsDecimal(), (Decimal{1, 2}));
  // A decimal with more digits than the column is rounded by the database, not truncated through double.
  Db().Execute("update t set small=? where id=2", {Decimal{12345, 3}});
  EXPECT_EQ(Db().QueryFirst("select small from t where id=2")->operator[](0).AsString(), "12.35");
}

TEST_F(DatabaseTest, TextRoundTripsUtf8AndKeepsApostrophes) {
  const std::string cyrillic = "Пореска стопа Ђ Ж — šđčćž";
  const std::string hostile = "O'Brien'); delete from t; --";
  Db().Execute("insert into t(id, txt, fixed) values(?, ?, ?)", {std::int64_t{1}, cyrillic, std::string("ab")});
  Db().Execute("insert into t(id, txt) values(?, ?)", {std::int64_t{2}, hostile});
  auto rows = Db().Query("select txt, fixed, char_length(txt) len from t order by id");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0].AsString(), cyrillic);
  EXPECT_EQ(rows[0]["len"].AsInt64(), 25);  // characters, not bytes: the connection speaks UTF8
  EXPECT_EQ(rows[0]["fixed"].AsString(), "ab");  // CHAR comes back without its padding
  EXPECT_EQ(rows[1][0].AsString(), hostile);
  EXPECT_EQ(Db().Query("select id from t").size(), 2u);
}

TEST_F(DatabaseTest, ReadsOnTheirOwnSeeTheLatestCommitsAndStatementsThatWriteStillCommit) {
  // Reads outside a transaction share one read-only transaction: it must see what others commit after it
  // started, and a statement that writes must never end up in it.
  auto other = Database::Attach(Database::Options::For(m_database.Path()));
  EXPECT_FALSE(Db().QueryFirst("select 1 from t where id = 7").has_value());
  other->Execute("insert into t (id, txt) values (7, 'a')");
  EXPECT_EQ(Db().QueryFirst("select txt from t where id = 7")->operator[](0).AsString(), "a");
  {
    Database::Transaction transaction(*other);
    other->Execute("update t set txt = 'b' where id = 7");
    EXPECT_EQ(Db().QueryFirst("select txt from t where id = 7")->operator[](0).AsString(), "a");
    transaction.Commit();
  }
  EXPECT_EQ(Db().QueryFirst("select txt from t where id = 7")->operator[](0).AsString(), "b");

  // Statements that write, asked through Query, run in a transaction of their own and commit.
  EXPECT_EQ(Db().QueryFirst("insert into t (id, txt) values (8, 'c') returning id")->operator[](0).AsInt64(), 8);
  Db().Query("update t set txt = 'd' where id = 8 returning txt");
  EXPECT_EQ(other->QueryFirst("select txt from t where id = 8")->operator[](0).AsString(), "d");

  // The monitoring tables show the present, not a snapshot taken by an earlier read.
  const auto attachments = [this] {
    return Db().QueryFirst("select count(*) from mon$attachments")->operator[](0).AsInt64();
  };
  const std::int64_t before = attachments();
  other->Close();
  EXPECT_EQ(attachments(), before - 1);
}

TEST_F(DatabaseTest, AFailedReadLeavesTheNextReadWorking) {
  EXPECT_THROW(Db().Query("select no_such_column from t"), DbError);
  EXPECT_THROW(Db().QueryFirst("select cast('x' as integer) from rdb$database"), DbError);
  Db().Execute("insert into t (id) values (1)");
  EXPECT_EQ(Db().Query("select id from t").size(), 1u);
}

TEST_F(DatabaseTest, NullsTravelBothWays) {
  Db().Execute("insert into t(id, amount, txt) values(?, ?, ?)", {std::int64_t{1}, nullptr, SqlValue("")});
  auto row = Db().QueryFirst("select amount, txt, stamp from t where id=?", {std::int64_t{1}});
  ASSERT_TRUE(row);
  EXPECT_TRUE((*row)["amount"].IsNull());
  EXPECT_TRUE((*row)["txt"].IsNull());
  EXPECT_EQ((*row)["txt"].AsString(), "");
  EXPECT_FALSE(Db().QueryFirst("select id from t where id=?", {std::int64_t{99}}));
  // Parameters the database cannot type from a column.
  EXPECT_TRUE(Db().QueryFirst("select 1 from rdb$database where ? is null", {nullptr}));
  EXPECT_FALSE(Db().QueryFirst("select 1 from rdb$database where ? is null", {std::string("x")}));
  EXPECT_EQ(Db().QueryFirst("select coalesce(?, 'none') from rdb$database", {nullptr})->operator[](0).AsString(),
            "none");
}

TEST_F(DatabaseTest, OtherTypesComeBackAsText) {
  Db().Execute("insert into t(id, stamp, flag) values(1, '2024-03-01 10:15:30', true)");
  auto row = Db().QueryFirst("select stamp, flag, cast(1.5 as double precision) d, 7 i from t");
  ASSERT_TRUE(row);
  EXPECT_EQ((*row)["stamp"].AsString().substr(0, 19), "2024-03-01 10:15:30");
  EXPECT_EQ((*row)["flag"].AsString(), "TRUE");
  EXPECT_EQ((*row)["d"].AsString(), "1.5");
  EXPECT_EQ((*row)["i"].AsInt64(), 7);
  EXPECT_THROW((*row)["no_such_column"], DbError);
}

TEST_F(DatabaseTest, FailedStatementIsRolledBackAndReported) {
  Db().Execute("insert into t(id) values(1)");
  try {
    Db().Execute("insert into t(id) values(?)", {std::int64_t{1}});
    FAIL() << "duplicate key accepted";
  } catch (const DbError& error) {
    EXPECT_NE(std::string(error.what()).find("PRIMARY"), std::string::npos) << error.what();
    EXPECT_EQ(error.SqlCode(), -803);
  }
  EXPECT_THROW(Db().Execute("insert into t(id, amount) values(2, ?)", {std::string("abc")}), DbError);
  EXPECT_THROW(Db().Execute("select nothing from nowhere"), DbError);
  EXPECT_THROW(Db().Execute("insert into t(id) values(?)"), DbError);  // parameter count mismatch
  // The connection is still usable and holds exactly what succeeded.
  EXPECT_EQ(Db().Query("select id from t").size(), 1u);
}

TEST_F(DatabaseTest, TransactionCommitsOrRollsBackAsAWhole) {
  {
    Database::Transaction transaction(Db());
    Db().Execute("insert into t(id) values(1)");
    EXPECT_THROW(Db().Execute("insert into t(id) values(1)"), DbError);  // only this statement is undone
    Db().Execute("insert into t(id) values(2)");
    transaction.Commit();
  }
  {
    Database::Transaction transaction(Db());
    Db().Execute("insert into t(id) values(3)");
    EXPECT_THROW(Database::Transaction nested(Db()), DbError);
  }  // destroyed uncommitted: rolled back
  EXPECT_EQ(Db().Query("select id from t").size(), 2u);
  EXPECT_EQ(Db().ExecuteCounted("update t set txt='x'"), 2u);
}

TEST_F(DatabaseTest, CloseDetachesAndReopenSeesCommittedData) {
  Db().Execute("insert into t(id, txt) values(1, ?)", {std::string("ћирилица")});
  m_database.Close();
  m_database.Reopen();
  EXPECT_EQ(Db().QueryFirst("select txt from t")->operator[](0).AsString(), "ћирилица");
  Db().Close();
  EXPECT_FALSE(Db().IsOpen());
  EXPECT_THROW(Db().Query("select 1 from rdb$database"), DbError);
}

TEST(DatabaseOpen, MissingPathAndForeignFileAreClearErrors) {
  TempDir folder;
  try {
    Database::Attach(Database::Options::For(folder / "missing/nothing.fdb"));
    FAIL() << "a missing database opened";
  } catch (const DbError& error) {
    EXPECT_NE(std::string(error.what()).find("nothing.fdb"), std::string::npos) << error.what();
  }
  testing::WriteFileBytes(folder.Path() / "not_a_db.fdb", std::string(20000, 'x'));
  EXPECT_THROW(Database::Attach(Database::Options::For(folder / "not_a_db.fdb")), DbError);
  EXPECT_EQ(testing::ReadFileBytes(folder.Path() / "not_a_db.fdb"), std::string(20000, 'x'));  // left untouched
}

TEST(DatabaseOpen, SecondConnectionInTheSameProcessWorks) {
  TestDatabase first;
  // Within one process the engine shares the file; a second connection works and sees committed data.
  first.Db().Execute("create table x (a integer)");
  auto second = Database::Attach(Database::Options::For(first.Path()));
  EXPECT_NO_THROW(second->Query("select a from x"));
}

}  // namespace
}  // namespace telvano::db

namespace telvano::db {
namespace {

TEST(TestDatabaseHelper, CopiesOfOneTemplateAreIndependent) {
  testing::TestDatabase first;
  testing::TestDatabase second;
  first.Db().Execute("insert into my_reg(reg_code, reg_desc) values('ONLY_FIRST', 'x')");
  EXPECT_FALSE(second.Db().QueryFirst("select 1 from my_reg where reg_code='ONLY_FIRST'"));
  EXPECT_NE(first.Path(), second.Path());
  first.Close();
  EXPECT_THROW(first.Db(), std::logic_error);
  first.Reopen();
  EXPECT_TRUE(first.Db().QueryFirst("select 1 from my_reg where reg_code='ONLY_FIRST'"));
}

}  // namespace
}  // namespace telvano::db
