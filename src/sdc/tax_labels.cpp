#include "sdc/tax_labels.h"

#include <vector>

#include "core/text_utils.h"

namespace telvano::sdc {

namespace {

using core::Utf8Characters;

const std::vector<std::string_view>& AlphabetLetters() {
  static const std::vector<std::string_view> letters = Utf8Characters(kLabelAlphabet);
  return letters;
}

bool IsDigit(std::string_view character) {
  return character.size() == 1 && character[0] >= '0' && character[0] <= '9';
}

}  // namespace

std::string TaxLabelLetter(int code) {
  if (code < 1 || code > kLabelCount) return {};
  return std::string(AlphabetLetters()[static_cast<std::size_t>(code - 1)]);
}

int TaxLabelCode(std::string_view letter) {
  const auto& letters = AlphabetLetters();
  for (std::size_t i = 0; i < letters.size(); ++i) {
    if (letters[i] == letter) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::string TaxLabelCodesToLetters(std::string_view text) {
  const auto characters = Utf8Characters(text);
  const std::size_t count = characters.size();
  std::string result;
  std::size_t i = 0;  // position of the current character, counted from 0
  while (i < count) {
    // Characters other than digits are copied two at a time until a digit starts a code.
    if (!IsDigit(characters[i])) {
      result += characters[i];
      if (i + 1 >= count) break;
      if (!IsDigit(characters[i + 1])) {
        result += characters[i + 1];
        i += 2;
        continue;
      }
      ++i;
    }
    // A code: exactly two digits with a value of 1..30; anything else is one "Q" for both characters.
    int code = 0;
    if (i + 1 < count && IsDigit(characters[i]) && IsDigit(characters[i + 1])) {
      code = (characters[i][0] - '0') * 10 + (characters[i + 1][0] - '0');
    }
    result += code >= 1 && code <= kLabelCount ? TaxLabelLetter(code) : std::string("Q");
    i += 2;
  }
  return result;
}

std::string TaxLabelLettersToCodes(std::string_view text) {
  std::string result;
  for (std::string_view character : Utf8Characters(text)) {
    const int code = TaxLabelCode(character);
    if (code == 0) {
      result += character;
    } else {
      result += static_cast<char>('0' + code / 10);
      result += static_cast<char>('0' + code % 10);
    }
  }
  return result;
}

}  // namespace telvano::sdc
