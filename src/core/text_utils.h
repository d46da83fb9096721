#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace telvano::core {

// Small text helpers every module shares. Texts are UTF-8; "characters" are Unicode code points
// (a byte that is not valid UTF-8 counts as one character of its own, so nothing is ever lost or read
// past the end).

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Removes blanks and control characters (everything up to and including " ") from both ends.
std::string TrimBlanks(std::string_view text);

// The number of characters of a UTF-8 text.
std::size_t Utf8Length(std::string_view text);

// The characters of a UTF-8 text, each as its byte sequence (views into `text`). A byte that does not start
// a complete, well-formed sequence stands alone, so nothing is lost or merged.
std::vector<std::string_view> Utf8Characters(std::string_view text);

// Up to `count` characters starting at character `start` (0-based); never splits a character.
std::string Utf8Substr(std::string_view text, std::size_t start, std::size_t count);

// The first `count` characters.
inline std::string Utf8Prefix(std::string_view text, std::size_t count) { return Utf8Substr(text, 0, count); }

// Full Unicode case mapping (Cyrillic and Serbian Latin included), independent of the process locale.
std::string UpperCaseUnicode(std::string_view text);
std::string LowerCaseUnicode(std::string_view text);

// The text up to (not including) its first line break (LF or CR); the whole text when it has none.
std::string FirstLine(std::string_view text);

// The text on one line: every CR and LF becomes a blank (a log line of a text of several lines).
std::string OneLine(std::string text);

}  // namespace telvano::core
