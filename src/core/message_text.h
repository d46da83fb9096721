#pragma once

#include <string>
#include <string_view>

namespace telvano::core {

// Breaks a text so that no line holds more than 64 characters: the text is first taken through the code
// page (characters it cannot hold become "?"), then a line feed goes in before every 65th character of a
// line, inside a word if need be. A line of exactly 64 characters followed by a line feed therefore gets
// an extra line feed (an empty line follows it).
std::string WrapAt64(std::string_view text, const std::string& codePage);

// A processor code's table text split at its first "/": the English part before it, the Serbian part
// after it, both trimmed. Without a slash the whole text is the Serbian part.
struct ProcessorErrorParts {
  std::string english;
  std::string serbian;
};
ProcessorErrorParts SplitProcessorErrorText(std::string_view text);

}  // namespace telvano::core
