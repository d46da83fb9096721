#pragma once

#include <string>
#include <string_view>

namespace telvano::sdc {

// The processor's tax labels are Serbian Cyrillic letters; their codes are the letters' positions in this
// 30-letter alphabet, always written with two digits (А = 01, Ђ = 06, Е = 07, Ш = 30). UTF-8.
inline constexpr std::string_view kLabelAlphabet = "АБВГДЂЕЖЗИЈКЛЉМНЊОПРСТЋУФХЦЧЏШ";
inline constexpr int kLabelCount = 30;

// The letter of code 1..30 (UTF-8), or an empty text for any other number.
std::string TaxLabelLetter(int code);
// The code 1..30 of one label letter (UTF-8), or 0 when the text is not one letter of the alphabet.
int TaxLabelCode(std::string_view letter);

// Two-digit codes to letters: "0607" gives "ЂЕ". A code that is not two digits of 01..30 ("00", "31", a lone
// final digit, a digit followed by a non-digit) gives "Q"; characters other than digits pass through.
std::string TaxLabelCodesToLetters(std::string_view text);

// Letters to two-digit codes: "ЂЕ" gives "0607"; a character outside the alphabet (a Latin "A") is copied.
std::string TaxLabelLettersToCodes(std::string_view text);

}  // namespace telvano::sdc
