#include "cmd/command_file_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace telvano::cmd {
namespace {

using Lines = std::vector<std::string>;

TEST(CommandFileTextTest, LinesSplitAtEveryKindOfBreakAndNoneIsDropped) {
  EXPECT_EQ(SplitCommandLines("A,\r\nB,\nC,\rD,"), (Lines{"A,", "B,", "C,", "D,"}));
  EXPECT_EQ(SplitCommandLines("A,\r\n\r\nB,\r\n"), (Lines{"A,", "", "B,"}));
  EXPECT_EQ(SplitCommandLines("A,\r\n   \r\n"), (Lines{"A,", "   "}));
  EXPECT_EQ(SplitCommandLines("\n"), (Lines{""}));
  EXPECT_EQ(SplitCommandLines(""), Lines{});
  EXPECT_EQ(SplitCommandLines("A,\n\r"), (Lines{"A,", ""}));
}

TEST(CommandFileTextTest, ByteOrderMarksChooseTheEncoding) {
  EXPECT_EQ(DecodeCommandFileText("\xEF\xBB\xBFREPRINT,inv_ns_č.csv", "windows-1250"), "REPRINT,inv_ns_č.csv");
  // "Ђ," in UTF-16 LE and BE, with a character outside the basic plane (U+1F600) as a surrogate pair.
  EXPECT_EQ(DecodeCommandFileText(std::string("\xFF\xFE\x02\x04,\x00=\xD8\x00\xDE", 10), "windows-1250"),
            "Ђ,\xF0\x9F\x98\x80");
  EXPECT_EQ(DecodeCommandFileText(std::string("\xFE\xFF\x04\x02\x00,", 6), "windows-1250"), "Ђ,");
  // A lone surrogate is not a character.
  EXPECT_TRUE(DecodeCommandFileText(std::string("\xFF\xFE\x00\xD8" "A", 5), "UTF-8").starts_with("?"));
}

TEST(CommandFileTextTest, WithoutMarkValidUtf8WinsAndAnythingElseUsesTheCodePage) {
  EXPECT_EQ(DecodeCommandFileText("REPRINT,INV_NS_Č.csv", "windows-1250"), "REPRINT,INV_NS_Č.csv");
  // "Č" in windows-1250 is the single byte C8, which is not UTF-8 here.
  EXPECT_EQ(DecodeCommandFileText("REPRINT,INV_NS_\xC8.csv", "windows-1250"), "REPRINT,INV_NS_Č.csv");
  EXPECT_EQ(DecodeCommandFileText("X,\xC8\xE8", "windows-1251"), "X,Ии");
  // With UTF-8 configured, a byte that is not UTF-8 becomes "?" and the rest of the text stays.
  EXPECT_EQ(DecodeCommandFileText("HELLO-TELVANO,\xC8x", "UTF-8"), "HELLO-TELVANO,?x");
  EXPECT_EQ(DecodeCommandFileText("A,\xC8", ""), "A,?");
  // windows-1250 has no character at 0x98: it becomes "?".
  EXPECT_EQ(DecodeCommandFileText("A,\x98\xC8", "windows-1250"), "A,?Č");
  EXPECT_THROW(DecodeCommandFileText("A,\xC8", "no-such-code-page"), std::invalid_argument);
}

}  // namespace
}  // namespace telvano::cmd
