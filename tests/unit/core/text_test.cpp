#include <gtest/gtest.h>

#include <clocale>

#include "core/message_text.h"
#include "core/number_text.h"
#include "core/text_utils.h"
#include "core/time_text.h"

namespace telvano::core {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

TEST(WrapAt64, LongLinesBreakBeforeThe65thCharacter) {
  const std::string sixtyFour(64, 'a');
  EXPECT_EQ(WrapAt64(sixtyFour, "UTF-8"), sixtyFour);

  const std::string text130 = std::string(64, 'a') + std::string(64, 'b') + "cc";
  const auto lines = Lines(WrapAt64(text130, "UTF-8"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(64, 'a'));
  EXPECT_EQ(lines[1], std::string(64, 'b'));
  EXPECT_EQ(lines[2], "cc");
}

TEST(WrapAt64, ExactLineFollowedByLineFeedGetsAnEmptyLine) {
  const std::string text = std::string(64, 'x') + "\nnext";
  EXPECT_EQ(WrapAt64(text, "UTF-8"), std::string(64, 'x') + "\n\nnext");
  // A shorter line's own line feed restarts the count.
  EXPECT_EQ(WrapAt64("ab\n" + std::string(64, 'y'), "UTF-8"), "ab\n" + std::string(64, 'y'));
}

TEST(WrapAt64, CountsCharactersNotBytesAndSubstitutesWhatTheCodePageLacks) {
  // 65 two-byte letters: one break, after the 64th letter, never inside a letter.
  std::string letters;
  for (int i = 0; i < 65; ++i) letters += "š";
  const auto lines = Lines(WrapAt64(letters, "UTF-8"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Utf8Length(lines[0]), 64u);
  EXPECT_EQ(lines[1], "š");

  // Serbian Latin survives windows-1250; Cyrillic becomes "?".
  EXPECT_EQ(WrapAt64("čćžšđ ПФР", "windows-1250"), "čćžšđ ???");
}

TEST(TextUtils, CharactersCaseAndLines) {
  EXPECT_EQ(Utf8Prefix("ПРОДАВНИЦА 12", 7), "ПРОДАВН");
  EXPECT_EQ(Utf8Prefix("abc", 7), "abc");
  EXPECT_EQ(Utf8Substr("ODS13.0/FB4.0/DDL10.16", 17, 5), "10.16");
  EXPECT_EQ(Utf8Length("a\xFF"
                       "b"),
            3u);  // a broken byte is one character, never read past
  EXPECT_EQ(UpperCaseUnicode("суф продукција"), "СУФ ПРОДУКЦИЈА");
  EXPECT_EQ(UpperCaseUnicode("šđčćž"), "ŠĐČĆŽ");
  EXPECT_EQ(LowerCaseUnicode("TAJNA Šifra"), "tajna šifra");
  EXPECT_EQ(TrimBlanks(" \t x y \r\n"), "x y");
  EXPECT_EQ(FirstLine("one\r\ntwo"), "one");
  EXPECT_EQ(FirstLine("single"), "single");
}

TEST(TimeText, IsoTimeWithOffsetOrZ) {
  EXPECT_EQ(LocalIsoTime({2024, 3, 1, 8, 15, 2, 999, 60}), "2024-03-01T08:15:02+01:00");
  EXPECT_EQ(LocalIsoTime({2024, 7, 9, 23, 5, 0, 0, 120}), "2024-07-09T23:05:00+02:00");
  EXPECT_EQ(LocalIsoTime({2024, 3, 1, 8, 15, 2, 0, 0}), "2024-03-01T08:15:02Z");
  EXPECT_EQ(LocalIsoTime({2024, 3, 1, 8, 15, 2, 0, -210}), "2024-03-01T08:15:02-03:30");
  EXPECT_EQ(DateTimeText({2024, 3, 1, 8, 15, 2, 500, 60}), "2024-03-01 08:15:02");
  const platform::ManualClock clock({2025, 1, 2, 3, 4, 5, 0, 0});
  EXPECT_EQ(LocalIsoTime(clock), "2025-01-02T03:04:05Z");
  EXPECT_EQ(DateText({987, 12, 31, 0, 0, 0, 0, 0}), "0987-12-31");
}

TEST(NumberText, FormatFixedRoundsLikeACashier) {
  EXPECT_EQ(FormatFixed(1.005, 2), "1.01");
  EXPECT_EQ(FormatFixed(2.675, 2), "2.68");
  EXPECT_EQ(FormatFixed(-2.5, 0), "-3");
  EXPECT_EQ(FormatFixed(2.5, 0), "3");
  EXPECT_EQ(FormatFixed(0.004, 2), "0.00");
  EXPECT_EQ(FormatFixed(-0.004, 2), "0.00");
  EXPECT_EQ(FormatFixed(0.005, 2), "0.01");
  EXPECT_EQ(FormatFixed(99.995, 2), "100.00");
  EXPECT_EQ(FormatFixed(1234567.5, 3), "1234567.500");
  EXPECT_EQ(FormatFixed(0, 2), "0.00");
  EXPECT_EQ(FormatFixed(1e20, 1), "100000000000000000000.0");
  EXPECT_EQ(FormatFixed(12.3456, 0), "12");
  EXPECT_EQ(FormatFixed(db::Decimal{1005, 3}, 2), "1.01");  // exact decimals never pass through double
  EXPECT_EQ(FormatFixed(db::Decimal{-25, 1}, 0), "-3");
  EXPECT_EQ(FormatShortest(0.1), "0.1");
  EXPECT_EQ(FormatShortest(100.0), "100");
}

TEST(NumberText, ParsingIsStrictAndLocaleFree) {
  // A decimal-comma locale in the process must change nothing.
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  std::setlocale(LC_ALL, "de_DE.UTF-8");

  EXPECT_EQ(ParseNumber("12.5"), 12.5);
  EXPECT_EQ(ParseNumber(" -3 "), -3.0);
  EXPECT_EQ(ParseNumber("+0.25"), 0.25);
  EXPECT_EQ(ParseNumber("1e3"), 1000.0);
  EXPECT_FALSE(ParseNumber("12,5"));
  EXPECT_FALSE(ParseNumber("1,234.5"));
  EXPECT_FALSE(ParseNumber(""));
  EXPECT_FALSE(ParseNumber("inf"));
  EXPECT_FALSE(ParseNumber("nan"));
  EXPECT_FALSE(ParseNumber("0x10"));
  EXPECT_FALSE(ParseNumber("12 kg"));
  EXPECT_FALSE(ParseNumber("+-1"));
  EXPECT_FALSE(ParseNumber("1e999"));
  EXPECT_EQ(FormatFixed(1234.5, 2), "1234.50");

  EXPECT_EQ(ParseInteger("42"), 42);
  EXPECT_EQ(ParseInteger("-9223372036854775808"), INT64_MIN);
  EXPECT_FALSE(ParseInteger("9223372036854775808"));
  EXPECT_FALSE(ParseInteger("4.2"));

  std::setlocale(LC_ALL, saved.c_str());
}

}  // namespace
}  // namespace telvano::core
