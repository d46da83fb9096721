#include "db/database.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace telvano::db {
namespace {

TEST(Decimal, TextsKeepEveryScaleDigit) {
  EXPECT_EQ((Decimal{1250, 2}).ToString(), "12.50");
  EXPECT_EQ((Decimal{-1, 4}).ToString(), "-0.0001");
  EXPECT_EQ((Decimal{7, 0}).ToString(), "7");
  EXPECT_EQ((Decimal{0, 2}).ToString(), "0.00");
  EXPECT_EQ((Decimal{INT64_MIN, 4}).ToString(), "-922337203685477.5808");
}

TEST(Decimal, ToFixedRoundsHalfAwayFromZero) {
  EXPECT_EQ((Decimal{1005, 3}).ToFixed(2), "1.01");
  EXPECT_EQ((Decimal{-1005, 3}).ToFixed(2), "-1.01");
  EXPECT_EQ((Decimal{1004, 3}).ToFixed(2), "1.00");
  EXPECT_EQ((Decimal{-4, 3}).ToFixed(2), "0.00");  // no "-0.00"
  EXPECT_EQ((Decimal{125, 1}).ToFixed(4), "12.5000");
  EXPECT_EQ((Decimal{5, 1}).ToFixed(0), "1");
  EXPECT_EQ((Decimal{INT64_MAX, 0}).ToFixed(2), "9223372036854775807.00");  // no overflow
}

TEST(Decimal, ParseAcceptsOnlyPlainNumbers) {
  EXPECT_EQ(Decimal::Parse("12.5"), (Decimal{125, 1}));
  EXPECT_EQ(Decimal::Parse("12.5")->scale, 1);
  EXPECT_EQ(Decimal::Parse("-3")->units, -3);
  EXPECT_EQ(Decimal::Parse("+0.0001")->scale, 4);
  EXPECT_EQ(Decimal::Parse(".5"), (Decimal{5, 1}));
  for (const char* bad : {"", "-", ".", "1.2.3", "12,5", "1e3", " 1", "1 ", "abc", "99999999999999999999"})
    EXPECT_FALSE(Decimal::Parse(bad)) << bad;
  EXPECT_EQ((Decimal{150, 2}), (Decimal{15, 1}));
  EXPECT_FALSE((Decimal{150, 2}) == (Decimal{151, 2}));
}

TEST(Field, ConversionsAreExactOrRefused) {
  EXPECT_EQ(Field::Text("  42 ").AsInt64(), 42);
  EXPECT_EQ(Field::Exact({4200, 2}).AsInt64(), 42);
  EXPECT_THROW(Field::Exact({4250, 2}).AsInt64(), DbError);
  EXPECT_THROW(Field::Text("4x").AsDecimal(), DbError);
  EXPECT_EQ(Field::Text("12.50").AsDecimal(), (Decimal{125, 1}));
  EXPECT_EQ(Field::Floating(0.1).AsString(), "0.1");
  EXPECT_EQ(Field::Null().AsString(), "");
  EXPECT_TRUE(Field::Null().IsNull());
  EXPECT_EQ(Field::Null().AsInt64(), 0);
}

TEST(SqlValue, EmptyIsNullAnythingElseUnchanged) {
  EXPECT_TRUE(std::holds_alternative<std::nullptr_t>(SqlValue("")));
  EXPECT_EQ(std::get<std::string>(SqlValue("O'Brien")), "O'Brien");
  EXPECT_EQ(std::get<std::string>(SqlValue(" ")), " ");
}

}  // namespace
}  // namespace telvano::db
