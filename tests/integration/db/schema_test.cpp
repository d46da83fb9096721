#include "db/schema.h"
#include "db/settings.h"
#include "support/test_database.h"

#include <gtest/gtest.h>

#include <map>

namespace telvano::db {
namespace {

using testing::TestDatabase;

// Column name -> "TYPE(length)" or the domain name, as the system tables describe it.
std::map<std::string, std::string> Columns(Database& db, const std::string& table) {
  std::map<std::string, std::string> columns;
  auto rows = db.Query(
      "select trim(rf.rdb$field_name), trim(rf.rdb$field_source), f.rdb$field_type, f.rdb$character_length, "
      "f.rdb$field_scale, f.rdb$field_precision from rdb$relation_fields rf "
      "join rdb$fields f on f.rdb$field_name = rf.rdb$field_source where rf.rdb$relation_name = ?",
      {table});
  for (const Row& row : rows) {
    std::string source = row[1].AsString();
    std::string type;
    if (source.rfind("RDB$", 0) != 0) {
      type = source;  // a domain
    } else if (row[2].AsInt64() == 37) {
      type = "VARCHAR(" + row[3].AsString() + ")";
    } else if (row[2].AsInt64() == 16 && row[4].AsInt64() != 0) {
      type = "NUMERIC(" + row[5].AsString() + "," + std::to_string(-row[4].AsInt64()) + ")";
    } else {
      type = "type " + row[2].AsString();
    }
    columns[row[0].AsString()] = type;
  }
  return columns;
}

TEST(Schema, FreshDatabaseIsCurrentAndProbes) {
  TestDatabase database;
  EXPECT_EQ(ReadSetting(database.Db(), kDbVersionKey), kCurrentDbVersion);
  EXPECT_NO_THROW(ProbeDatabase(database.Db()));
  std::vector<std::string> seen;
  CheckAndUpgradeSchema(database.Db(), [&](std::string_view statement) { seen.emplace_back(statement); });
  EXPECT_TRUE(seen.empty());  // no ALTER at the current level
}

TEST(Schema, KeysAndExactAmounts) {
  TestDatabase database;
  Database& db = database.Db();
  db.Execute("insert into inv_sale_items(inv_uuid, row_num, unit_price, quantity, total_amount) values(?,?,?,?,?)",
             {std::string("u"), std::string("0"), std::string("123456789.1234"), std::string("3"),
              std::string("370370367.3702")});
  EXPECT_THROW(db.Execute("insert into inv_sale_items(inv_uuid, row_num) values('u', 0)"), DbError);
  for (int i = 1; i <= 10; ++i)
    db.Execute("insert into inv_sale_items(inv_uuid, row_num) values(?, ?)", {std::string("u"), std::to_string(i)});
  auto rows = db.Query("select row_num, total_amount from inv_sale_items where inv_uuid='u' order by row_num");
  ASSERT_EQ(rows.size(), 11u);
  EXPECT_EQ(rows[10][0].AsString(), "10");  // sorts as a number
  EXPECT_EQ(rows[0][1].AsString(), "370370367.3702");
  EXPECT_THROW(db.Execute("insert into inv_pay_items(inv_uuid, row_num, amount) values('u', 0, ?)",
                          {std::string("12,50x")}),
               DbError);
  db.Execute("insert into my_reg(reg_code) values('K')");
  EXPECT_THROW(db.Execute("insert into my_reg(reg_code) values('K')"), DbError);
}

TEST(Schema, UpgradeFrom1010RunsAllElevenStatementsInOrder) {
  TestDatabase database(SchemaLevel::Ddl10_10);
  Database& db = database.Db();
  EXPECT_EQ(ReadSetting(db, kDbVersionKey), kDbVersion10_10);
  EXPECT_EQ(Columns(db, "INV_TAX_ITEMS").count("LABELS_CYR"), 0u);
  db.Execute("insert into inv_request(inv_uuid, date_and_time_of_issue) values('a', '2024-03-01T10:15:30.123+01:00')");

  std::vector<std::string> seen;
  CheckAndUpgradeSchema(db, [&](std::string_view statement) { seen.emplace_back(statement); });
  std::vector<std::string> expected;
  for (const auto& step : UpgradeSteps())
    for (const auto& statement : step.statements) expected.push_back(statement);
  ASSERT_EQ(seen.size(), 11u);
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(seen.front(), "ALTER TABLE INV_RESPONSE  ADD IT_TYPE D_ID10");
  EXPECT_EQ(seen.back(), "ALTER TABLE TAX_GROUPS  ALTER NAME TYPE D_STR032");
  EXPECT_EQ(ReadSetting(db, kDbVersionKey), kCurrentDbVersion);

  auto taxItems = Columns(db, "INV_TAX_ITEMS");
  EXPECT_EQ(taxItems["LABEL_CYR"], "D_ID10");
  EXPECT_EQ(taxItems.count("LABELS_CYR"), 0u);
  EXPECT_EQ(taxItems["CATEGORY_NAME"], "D_STR032");
  EXPECT_EQ(taxItems["REQUESTED_BY"], "D_STR032");
  EXPECT_EQ(taxItems["AMOUNT"], "NUMERIC(18,4)");
  EXPECT_EQ(Columns(db, "INV_RESPONSE")["VERIFICATION_URL"], "VARCHAR(1444)");
  EXPECT_EQ(Columns(db, "INV_RESPONSE")["IT_TYPE"], "D_ID10");
  EXPECT_EQ(Columns(db, "INV_REQUEST")["DATE_AND_TIME_OF_ISSUE"], "D_STR050");
  EXPECT_EQ(Columns(db, "INV_REQUEST")["CUSTOMIZED_STRING"], "D_STR999");
  EXPECT_EQ(Columns(db, "CERT_SE")["PFX_CERT"], "VARCHAR(4000)");
  EXPECT_EQ(Columns(db, "CERT_SE")["ENV_NAME"], "D_ID20");
  EXPECT_EQ(Columns(db, "TAX_GROUPS")["NAME"], "D_STR032");
  EXPECT_EQ(Columns(db, "TAX_GROUPS")["LABEL_CYR"], "D_ID10");
  EXPECT_EQ(Columns(db, "INV_PAY_ITEMS")["IT_TYPE"], "D_ID10");
  EXPECT_EQ(Columns(db, "INV_SALE_ITEMS")["LABELS_CYR"], "D_ID10");
  // Data survives the upgrade, and an upgraded database equals a fresh one column for column.
  EXPECT_EQ(db.QueryFirst("select date_and_time_of_issue from inv_request")->operator[](0).AsString(),
            "2024-03-01T10:15:30.123+01:00");
  TestDatabase fresh;
  for (const char* table : {"MY_REG", "CERT_SE", "INV_REQUEST", "INV_SALE_ITEMS", "INV_PAY_ITEMS", "INV_RESPONSE",
                            "INV_TAX_ITEMS", "TAX_GROUPS"})
    EXPECT_EQ(Columns(db, table), Columns(fresh.Db(), table)) << table;
}

TEST(Schema, UpgradeFrom1014RunsOnlyTheLastStep) {
  TestDatabase database(SchemaLevel::Ddl10_14);
  std::vector<std::string> seen;
  CheckAndUpgradeSchema(database.Db(), [&](std::string_view statement) { seen.emplace_back(statement); });
  EXPECT_EQ(seen, UpgradeSteps()[2].statements);
  EXPECT_EQ(ReadSetting(database.Db(), kDbVersionKey), kCurrentDbVersion);
}

TEST(Schema, UnknownOrMissingLevelIsRefusedWithoutAnyStatement) {
  TestDatabase database(SchemaLevel::Ddl10_10);
  for (const char* mark : {"ODS13.0/FB4.0/DDL10.08", "ODS13.0/FB4.0/DDL10.18", "ODS12.0/FB3.0/DDL10.16",
                           "ods13.0/fb4.0/ddl10.10", ""}) {
    WriteSetting(database.Db(), kDbVersionKey, mark);
    int statements = 0;
    EXPECT_THROW(CheckAndUpgradeSchema(database.Db(), [&](std::string_view) { ++statements; }), SchemaError)
        << mark;
    EXPECT_EQ(statements, 0) << mark;
    EXPECT_EQ(ReadSetting(database.Db(), kDbVersionKey), mark);
  }
  database.Db().Execute("delete from my_reg");
  EXPECT_THROW(CheckAndUpgradeSchema(database.Db()), SchemaError);
}

TEST(Schema, FailingStepLeavesTheDatabaseAtItsStartingLevel) {
  TestDatabase database(SchemaLevel::Ddl10_10);
  Database& db = database.Db();
  // Make the fourth statement of step 1 fail: INV_PAY_ITEMS already has SIGNED_BY.
  db.Execute("ALTER TABLE INV_PAY_ITEMS ADD SIGNED_BY VARCHAR(32)");
  std::vector<std::string> seen;
  EXPECT_THROW(CheckAndUpgradeSchema(db, [&](std::string_view statement) { seen.emplace_back(statement); }),
               SchemaError);
  EXPECT_EQ(seen.size(), 4u);
  EXPECT_EQ(ReadSetting(db, kDbVersionKey), kDbVersion10_10);
  // The three statements before the failing one are undone as well.
  EXPECT_EQ(Columns(db, "INV_RESPONSE").count("IT_TYPE"), 0u);
  EXPECT_EQ(Columns(db, "INV_SALE_ITEMS").count("LABELS_CYR"), 0u);
  EXPECT_EQ(Columns(db, "INV_TAX_ITEMS").count("REQUESTED_BY"), 0u);
  // Once the obstacle is gone the next start upgrades cleanly.
  db.Execute("ALTER TABLE INV_PAY_ITEMS DROP SIGNED_BY");
  EXPECT_NO_THROW(CheckAndUpgradeSchema(db));
  EXPECT_EQ(ReadSetting(db, kDbVersionKey), kCurrentDbVersion);
}

TEST(Schema, ProbeFailsOnADatabaseWithoutTheTables) {
  TestDatabase database;
  database.Db().Execute("drop table inv_response");
  EXPECT_THROW(ProbeDatabase(database.Db()), DbError);
}

}  // namespace
}  // namespace telvano::db
