#include "core/text_utils.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace telvano::core {
namespace {

// The length in bytes of the character that starts at `i`; 1 for a byte that does not start a valid
// UTF-8 sequence.
std::size_t CharLength(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  if (i + length > text.size()) return 1;
  for (std::size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

std::string ToUtf8(const icu::UnicodeString& text) {
  std::string result;
  text.toUTF8String(result);
  return result;
}

}  // namespace

std::string TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ') --end;
  return std::string(text.substr(begin, end - begin));
}

std::size_t Utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) ++count;
  return count;
}

std::vector<std::string_view> Utf8Characters(std::string_view text) {
  std::vector<std::string_view> characters;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = CharLength(text, i);
    characters.push_back(text.substr(i, length));
    i += length;
  }
  return characters;
}

std::string Utf8Substr(std::string_view text, std::size_t start, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t skipped = 0; i < text.size() && skipped < start; ++skipped) i += CharLength(text, i);
  std::size_t end = i;
  for (std::size_t taken = 0; end < text.size() && taken < count; ++taken) end += CharLength(text, end);
  return std::string(text.substr(i, end - i));
}

std::string UpperCaseUnicode(std::string_view text) {
  icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size()));
  return ToUtf8(unicode.toUpper(icu::Locale::getRoot()));
}

std::string LowerCaseUnicode(std::string_view text) {
  icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), text.size()));
  return ToUtf8(unicode.toLower(icu::Locale::getRoot()));
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

std::string FirstLine(std::string_view text) {
  const std::size_t end = text.find_first_of("\r\n");
  return std::string(end == std::string_view::npos ? text : text.substr(0, end));
}

}  // namespace telvano::core
