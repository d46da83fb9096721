#include "cmd/response_line.h"

#include <gtest/gtest.h>

namespace telvano::cmd {
namespace {

TEST(ResponseLineTest, PlainFieldsAreJoinedByCommas) {
  EXPECT_EQ(JoinResponseFields({"ACTIVE/AKTIVAN", "2024-05-06T10:11:12+02:00"}),
            "ACTIVE/AKTIVAN,2024-05-06T10:11:12+02:00");
  EXPECT_EQ(JoinResponseFields({"1", "", "20"}), "1,,20");
  EXPECT_EQ(JoinResponseFields({"", ""}), ",");
  EXPECT_EQ(JoinResponseFields({}), "");
}

TEST(ResponseLineTest, BlanksCommasAndQuotesAreQuoted) {
  EXPECT_EQ(JoinResponseFields({"Connection error / Greška pri povezivanju", "2024-05-06T10:11:12Z"}),
            "\"Connection error / Greška pri povezivanju\",2024-05-06T10:11:12Z");
  EXPECT_EQ(QuoteResponseField("a,b"), "\"a,b\"");
  EXPECT_EQ(QuoteResponseField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(QuoteResponseField("\""), "\"\"\"\"");
  EXPECT_EQ(QuoteResponseField("tab\there"), "\"tab\there\"");
  EXPECT_EQ(QuoteResponseField("two\r\nlines"), "\"two\r\nlines\"");
  EXPECT_EQ(QuoteResponseField(std::string("\x01", 1)), "\"\x01\"");
}

TEST(ResponseLineTest, LettersOutsideAsciiAndOtherSignsStayBare) {
  EXPECT_EQ(QuoteResponseField("Ђ"), "Ђ");
  EXPECT_EQ(QuoteResponseField("Ne-postoji;račun!"), "Ne-postoji;račun!");
  EXPECT_EQ(QuoteResponseField("\x7f"), "\x7f");
}

TEST(ResponseLineTest, LineOfOneEmptyFieldIsTwoQuotes) {
  EXPECT_EQ(JoinResponseFields({""}), "\"\"");
  EXPECT_EQ(JoinResponseFields({"x"}), "x");
}

}  // namespace
}  // namespace telvano::cmd
