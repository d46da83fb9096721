#include <gtest/gtest.h>

#include "sdc/tax_labels.h"

namespace telvano::sdc {
namespace {

TEST(TaxLabelAlphabet, HasThirtyLettersNumberedFromOne) {
  EXPECT_EQ(TaxLabelLetter(1), "А");
  EXPECT_EQ(TaxLabelLetter(6), "Ђ");
  EXPECT_EQ(TaxLabelLetter(7), "Е");
  EXPECT_EQ(TaxLabelLetter(11), "Ј");
  EXPECT_EQ(TaxLabelLetter(30), "Ш");
  EXPECT_EQ(TaxLabelLetter(0), "");
  EXPECT_EQ(TaxLabelLetter(31), "");
  for (int code = 1; code <= kLabelCount; ++code) EXPECT_EQ(TaxLabelCode(TaxLabelLetter(code)), code);
  EXPECT_EQ(TaxLabelCode("A"), 0);  // Latin look-alike
  EXPECT_EQ(TaxLabelCode("ЂЕ"), 0);
}

TEST(TaxLabelCodesToLetters, TurnsTwoDigitCodesIntoLetters) {
  EXPECT_EQ(TaxLabelCodesToLetters("0607"), "ЂЕ");
  EXPECT_EQ(TaxLabelCodesToLetters("07"), "Е");
  EXPECT_EQ(TaxLabelCodesToLetters("0130"), "АШ");
  EXPECT_EQ(TaxLabelCodesToLetters(""), "");
}

TEST(TaxLabelCodesToLetters, MalformedCodesBecomeQ) {
  EXPECT_EQ(TaxLabelCodesToLetters("31"), "Q");
  EXPECT_EQ(TaxLabelCodesToLetters("00"), "Q");
  EXPECT_EQ(TaxLabelCodesToLetters("7"), "Q");
  EXPECT_EQ(TaxLabelCodesToLetters("060"), "ЂQ");
  // A digit followed by a non-digit is one malformed code: both characters give a single "Q".
  EXPECT_EQ(TaxLabelCodesToLetters("1A06"), "QЂ");
  EXPECT_EQ(TaxLabelCodesToLetters("99"), "Q");
}

TEST(TaxLabelCodesToLetters, OtherCharactersPassThroughWhole) {
  EXPECT_EQ(TaxLabelCodesToLetters("A06"), "AЂ");
  EXPECT_EQ(TaxLabelCodesToLetters("AB06"), "ABЂ");
  EXPECT_EQ(TaxLabelCodesToLetters("ЂЕ"), "ЂЕ");  // letters given where codes were promised
  EXPECT_EQ(TaxLabelCodesToLetters("06 07"), "Ђ Е");
  EXPECT_EQ(TaxLabelCodesToLetters("Ђ"), "Ђ");
  EXPECT_EQ(TaxLabelCodesToLetters("A"), "A");
  // A broken UTF-8 byte is kept as it is, not merged with its neighbour.
  EXPECT_EQ(TaxLabelCodesToLetters("\xD0" "06"), "\xD0" "Ђ");
}

TEST(TaxLabelLettersToCodes, TurnsAlphabetLettersIntoTwoDigitCodes) {
  EXPECT_EQ(TaxLabelLettersToCodes("ЂЕ"), "0607");
  EXPECT_EQ(TaxLabelLettersToCodes("А"), "01");
  EXPECT_EQ(TaxLabelLettersToCodes("Ш"), "30");
  EXPECT_EQ(TaxLabelLettersToCodes("A"), "A");  // Latin A stays
  EXPECT_EQ(TaxLabelLettersToCodes("Ђ,Е"), "06,07");
  EXPECT_EQ(TaxLabelLettersToCodes("ђ"), "ђ");  // lower case is not a label
  EXPECT_EQ(TaxLabelLettersToCodes("\xD0"), "\xD0");
  for (int code = 1; code <= kLabelCount; ++code) {
    const std::string letter = TaxLabelLetter(code);
    EXPECT_EQ(TaxLabelCodesToLetters(TaxLabelLettersToCodes(letter)), letter);
  }
}

}  // namespace
}  // namespace telvano::sdc
