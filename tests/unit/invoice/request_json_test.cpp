#include <gtest/gtest.h>

#include "invoice/json_writer.h"

namespace telvano::invoice {
namespace {

TEST(JsonWriter, CompactMembersInCallOrder) {
  JsonWriter json;
  json.BeginObject().Key("b").String("x").Key("a").BeginArray().EndArray();
  json.Key("items").BeginArray().BeginObject().Key("n").Number(1).EndObject();
  json.BeginObject().Key("n").Number(2.5).EndObject().EndArray().EndObject();
  EXPECT_EQ(json.Text(), R"({"b":"x","a":[],"items":[{"n":1},{"n":2.5}]})");
}

TEST(JsonWriter, EscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(JsonQuote("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(JsonQuote("\n\r\t\b\f"), R"("\n\r\t\b\f")");
  EXPECT_EQ(JsonQuote(std::string("\x01\x1f\0", 3)), R"("\u0001\u001f\u0000")");
  EXPECT_EQ(JsonQuote("Ђ'/\x7f"), "\"Ђ'/\x7f\"");  // UTF-8, apostrophe and slash as they are
}

TEST(JsonWriter, NumbersInShortestRoundTripFormWithoutExponent) {
  EXPECT_EQ(ShortestNumberText(2), "2");
  EXPECT_EQ(ShortestNumberText(34.23), "34.23");
  EXPECT_EQ(ShortestNumberText(0.1), "0.1");
  EXPECT_EQ(ShortestNumberText(0.0001), "0.0001");
  EXPECT_EQ(ShortestNumberText(-0.0), "0");
  EXPECT_EQ(ShortestNumberText(-1234567.8912), "-1234567.8912");
  EXPECT_EQ(ShortestNumberText(1e21), "1000000000000000000000");
  EXPECT_EQ(ShortestNumberText(68.46), "68.46");
}

}  // namespace
}  // namespace telvano::invoice
