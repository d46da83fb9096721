#pragma once

#include <string>
#include <string_view>

namespace telvano::core {

// The stand-in for the Windows ANSI code page: the configured CodePage (for example "windows-1250").
// A character the code page cannot hold becomes "?", exactly as it would there.

// The bytes of a UTF-8 text in `codePage`.
std::string EncodeInCodePage(std::string_view utf8, const std::string& codePage);

// A UTF-8 text after a trip through `codePage`: what the text looks like once it has been held in it.
std::string ThroughCodePage(std::string_view utf8, const std::string& codePage);

}  // namespace telvano::core
