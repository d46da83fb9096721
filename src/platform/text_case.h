#pragma once

#include <string>
#include <string_view>

namespace telvano::platform {

// Upper-cases UTF-8 text by the full Unicode rules ("šđčćž" -> "ŠĐČĆŽ", "ß" -> "SS", Cyrillic too) with a
// fixed root locale, so the result never depends on the user's language settings. Bytes that are not
// valid UTF-8 come back as U+FFFD.
std::string ToUpperUnicode(std::string_view utf8);

}  // namespace telvano::platform
