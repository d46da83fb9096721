#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace telvano::platform {
namespace {

TEST(CodePage, Windows1250RoundTripOfSerbianLatin) {
  const std::string text = "šđčćž ŠĐČĆŽ Račun je već fiskalizovan!";
  std::string bytes = FromUtf8(text, "windows-1250");
  EXPECT_EQ(bytes.substr(0, 11), "\x9a\xf0\xe8\xe6\x9e \x8a\xd0\xc8\xc6\x8e");
  EXPECT_EQ(bytes.size(), 38u);  // one byte per character
  EXPECT_EQ(ToUtf8(bytes, "windows-1250"), text);
}

TEST(CodePage, UnmappableCharactersAndBadBytesBecomeQuestionMarks) {
  // Cyrillic and the emoji do not exist in windows-1250; the euro sign does.
  EXPECT_EQ(FromUtf8("Жа€😀x", "windows-1250"), "??\x80?x");
  // 0x98 is not assigned in windows-1250.
  EXPECT_EQ(ToUtf8("a\x98" "b", "windows-1250"), "a?b");
  // Invalid UTF-8 input does not stop the conversion either.
  EXPECT_EQ(FromUtf8("a\xff" "b\xc3", "windows-1250"), "a?b?");
  EXPECT_EQ(FromUtf8("Ђак", "CP1251"), "\x80\xe0\xea");
  EXPECT_EQ(ToUtf8("\x80\xe0\xea", "CP1251"), "Ђак");
  EXPECT_EQ(ToUtf8("ok ž", "UTF-8"), "ok ž");
  EXPECT_EQ(FromUtf8("", "windows-1250"), "");
  EXPECT_THROW(FromUtf8("x", "no-such-code-page"), std::invalid_argument);
}

TEST(CodePage, LongTextWithManyReplacementsIsComplete) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "čЖ";
  std::string bytes = FromUtf8(text, "windows-1250");
  ASSERT_EQ(bytes.size(), 10000u);
  EXPECT_EQ(bytes.substr(9998), "\xe8?");
}

TEST(CodePage, Utf8ValidityCheckNamesTheOffendingOffset) {
  EXPECT_EQ(FindInvalidUtf8("plain ascii"), std::nullopt);
  EXPECT_EQ(FindInvalidUtf8("šđ Ђ 😀"), std::nullopt);
  EXPECT_EQ(FindInvalidUtf8("ab\xe8" "cd"), 2u);         // windows-1250 "č" inside UTF-8
  EXPECT_EQ(FindInvalidUtf8("š\x80"), 2u);               // stray continuation byte
  EXPECT_EQ(FindInvalidUtf8("x\xc0\xaf"), 1u);           // overlong "/"
  EXPECT_EQ(FindInvalidUtf8("\xed\xa0\x80"), 0u);        // surrogate
  EXPECT_EQ(FindInvalidUtf8("\xf4\x90\x80\x80"), 0u);    // beyond U+10FFFF
  EXPECT_EQ(FindInvalidUtf8("ok\xe2\x82"), 2u);          // cut off at the end
}

}  // namespace
}  // namespace telvano::platform
