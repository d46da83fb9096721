#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace telvano::platform {

// Conversions between UTF-8 and the configured code page (any name iconv knows: "windows-1250",
// "CP1251", "UTF-8"). Like the Windows conversions they stand in for, they never fail on content: a
// character the target cannot hold, or a byte that is not valid in the source, becomes "?".
// An unknown code page name throws std::invalid_argument.

// Bytes in `codePage` -> UTF-8 text.
std::string ToUtf8(std::string_view bytes, const std::string& codePage);

// UTF-8 text -> bytes in `codePage`.
std::string FromUtf8(std::string_view text, const std::string& codePage);

// Where valid UTF-8 ends: the offset of the first byte of the first sequence that is not UTF-8 (a stray
// continuation byte, a lead byte without its continuation bytes, an overlong form, a surrogate, a value
// beyond U+10FFFF, a sequence cut off at the end); nullopt for valid UTF-8.
std::optional<std::size_t> FindInvalidUtf8(std::string_view text);

}  // namespace telvano::platform
