#include "sdc/tax_labels.h"

#include <vector>

namespace telvano::sdc {

namespace {

// The characters of a UTF-8 text, each as its byte sequence. A byte that does not start a complete,
// well-formed sequence stands alone, so nothing is lost or merged.
std::vector<std::string_view> Characters(std::string_view text) {
  std::vector<std::string_view> characters;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
    }
    if (length > 1) {
      bool complete = at + length <= text.size();
      for (std::size_t i = 1; complete && i < length; ++i) {
        complete = (static_cast<unsigned char>(text[at + i]) & 0xC0) == 0x80;
      }
      if (!complete) length = 1;
    }
    characters.push_back(text.substr(at, length));
    at += length;
  }
  return characters;
}

const std::vector<std::string_view>& AlphabetLetters() {
  static const std::vector<std::string_view> letters = Characters(kLabelAlphabet);
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
  const auto characters = Characters(text);
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
  for (std::string_view character : Characters(text)) {
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
