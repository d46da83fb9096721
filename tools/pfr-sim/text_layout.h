#pragma once

#include <string>
#include <vector>

namespace telvano::pfrsim {

// Receipt lines are laid out in characters, not bytes: a Cyrillic letter is two bytes of UTF-8 and one column.
std::size_t CharacterCount(const std::string& utf8);
// The text split after every `width` characters (never inside a multi-byte character).
std::vector<std::string> SplitIntoColumns(const std::string& utf8, std::size_t width);
std::string PadRight(const std::string& utf8, std::size_t width);
std::string PadLeft(const std::string& utf8, std::size_t width);
// Label at the left, value right-aligned so that the line is `width` wide; at least one blank between them.
std::string LabelValueLine(const std::string& label, const std::string& value, std::size_t width = 40);
// Text centred in a run of `fill` characters, the odd character going to the right.
std::string Centred(const std::string& text, char fill, std::size_t width = 40);
std::string ToLowerAscii(std::string text);

}  // namespace telvano::pfrsim
