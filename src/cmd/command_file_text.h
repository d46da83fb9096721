#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace telvano::cmd {

// Turns the bytes of a command file into UTF-8 text. A byte-order mark decides the encoding (UTF-8, UTF-16 LE,
// UTF-16 BE) and is dropped. Without one, text that is valid UTF-8 is taken as UTF-8 (a POS that writes UTF-8
// without a mark is the common case), anything else is converted from `codePage` (an iconv name such as
// "windows-1250"); bytes that have no character there become "?". Raises std::invalid_argument for a code
// page that the system does not know.
std::string DecodeCommandFileText(std::string_view bytes, const std::string& codePage);

// Splits text into lines at CR LF, a lone CR and a lone LF. No line is removed; a line break at the very end
// does not start another line, and an empty text has no lines.
std::vector<std::string> SplitCommandLines(std::string_view text);

}  // namespace telvano::cmd
