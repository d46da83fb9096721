#include "db/schema.h"
#include "db/settings.h"
#include "support/test_database.h"

#include <gtest/gtest.h>

namespace telvano::db {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  Database& Db() { return m_database.Db(); }
  testing::TestDatabase m_database;
};

TEST_F(SettingsTest, AbsentKeyAndNullValueReadAsEmpty) {
  EXPECT_EQ(ReadSetting(Db(), "NO_SUCH_KEY"), "");
  WriteSetting(Db(), "SDC_MRC", "");
  EXPECT_EQ(ReadSetting(Db(), "SDC_MRC"), "");
  auto row = Db().QueryFirst("select reg_desc from my_reg where reg_code='SDC_MRC'");
  ASSERT_TRUE(row);
  EXPECT_TRUE((*row)[0].IsNull());  // an empty value is stored as null
}

TEST_F(SettingsTest, SecondWriteReplacesAndKeysIgnoreCase) {
  WriteSetting(Db(), "sdc_mrc", "00-0001-ABC");
  WriteSetting(Db(), "SDC_MRC", "00-0002-XYZ");
  EXPECT_EQ(ReadSetting(Db(), "Sdc_Mrc"), "00-0002-XYZ");
  EXPECT_EQ(Db().Query("select reg_code from my_reg where reg_code='SDC_MRC'").size(), 1u);
  WriteSetting(Db(), "SDC_MRC", "");
  EXPECT_EQ(ReadSetting(Db(), "SDC_MRC"), "");
}

TEST_F(SettingsTest, KeysAreUpperCasedByUnicodeRules) {
  WriteSetting(Db(), "ključ_šđčćž", "1");
  WriteSetting(Db(), "кључ", "2");
  EXPECT_EQ(ReadSetting(Db(), "KLJUČ_ŠĐČĆŽ"), "1");
  EXPECT_EQ(ReadSetting(Db(), "КЉУЧ"), "2");
  EXPECT_TRUE(Db().QueryFirst("select 1 from my_reg where reg_code=?", {std::string("КЉУЧ")}));
  // A row stored in lower case by other means is not found by the upper-cased lookup.
  Db().Execute("insert into my_reg(reg_code, reg_desc) values('lower_key', 'x')");
  EXPECT_EQ(ReadSetting(Db(), "lower_key"), "");
}

TEST_F(SettingsTest, ValuesAreStoredUnchangedApostrophesIncluded) {
  const std::string value = "it's '' ); delete from my_reg; -- Ђорђе";
  WriteSetting(Db(), "DEVELOPER_TIN", value);
  WriteSetting(Db(), "it's", value);
  EXPECT_EQ(ReadSetting(Db(), "DEVELOPER_TIN"), value);
  EXPECT_EQ(ReadSetting(Db(), "IT'S"), value);
  EXPECT_EQ(ReadSetting(Db(), kDbVersionKey), kCurrentDbVersion);
}

TEST_F(SettingsTest, WriteThatStoresNothingIsAnError) {
  // The insert fails (value too long) and the update finds no row: reported, not swallowed.
  EXPECT_THROW(WriteSetting(Db(), "LONG_VALUE", std::string(5000, 'v')), DbError);
  EXPECT_EQ(ReadSetting(Db(), "LONG_VALUE"), "");
  // On an existing key the too-long update itself fails, and the old value stays.
  WriteSetting(Db(), "LONG_VALUE", "short");
  EXPECT_THROW(WriteSetting(Db(), "LONG_VALUE", std::string(5000, 'v')), DbError);
  EXPECT_EQ(ReadSetting(Db(), "LONG_VALUE"), "short");
}

}  // namespace
}  // namespace telvano::db
