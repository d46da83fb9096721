#include "text_layout.h"

#include <algorithm>

namespace telvano::pfrsim {

namespace {

bool IsContinuationByte(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::size_t CharacterCount(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return !IsContinuationByte(static_cast<unsigned char>(c));
  }));
}

std::vector<std::string> SplitIntoColumns(const std::string& utf8, std::size_t width) {
  std::vector<std::string> lines;
  std::string current;
  std::size_t characters = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (!IsContinuationByte(c)) {
      if (characters == width) {
        lines.push_back(current);
        current.clear();
        characters = 0;
      }
      ++characters;
    }
    current += static_cast<char>(c);
  }
  if (!current.empty() || lines.empty()) lines.push_back(current);
  return lines;
}

std::string PadRight(const std::string& utf8, std::size_t width) {
  const std::size_t count = CharacterCount(utf8);
  return count >= width ? utf8 : utf8 + std::string(width - count, ' ');
}

std::string PadLeft(const std::string& utf8, std::size_t width) {
  const std::size_t count = CharacterCount(utf8);
  return count >= width ? utf8 : std::string(width - count, ' ') + utf8;
}

std::string LabelValueLine(const std::string& label, const std::string& value, std::size_t width) {
  const std::size_t used = CharacterCount(label) + CharacterCount(value);
  const std::size_t blanks = used + 1 >= width ? 1 : width - used;
  return label + std::string(blanks, ' ') + value;
}

std::string Centred(const std::string& text, char fill, std::size_t width) {
  const std::size_t count = CharacterCount(text);
  if (count >= width) return text;
  const std::size_t left = (width - count) / 2;
  return std::string(left, fill) + text + std::string(width - count - left, fill);
}

std::string ToLowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

}  // namespace telvano::pfrsim
