#include "core/code_page_text.h"

#include <cerrno>
#include <iconv.h>

#include "core/text_utils.h"

namespace telvano::core {
namespace {

bool IsUtf8Name(const std::string& codePage) {
  std::string lower;
  for (char c : codePage) {
    if (c != '-' && c != '_') lower.push_back(AsciiLower(c));
  }
  return lower.empty() || lower == "utf8";
}

// Converts with iconv; an input sequence that cannot be converted becomes "?" in the output and is skipped
// (one byte at a time, which for UTF-8 input skips one broken byte or, below, one whole character).
std::string Convert(std::string_view input, const std::string& from, const std::string& to, bool inputIsUtf8) {
  iconv_t handle = iconv_open(to.c_str(), from.c_str());
  if (handle == reinterpret_cast<iconv_t>(-1)) return std::string(input);  // unknown code page: unchanged
  std::string output;
  char buffer[4096];
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  while (inLeft > 0) {
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(handle, &in, &inLeft, &out, &outLeft);
    output.append(buffer, static_cast<std::size_t>(out - buffer));
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: one character the target cannot hold (or a broken sequence).
    std::size_t skip = 1;
    if (inputIsUtf8) skip = Utf8Substr(std::string_view(in, inLeft), 0, 1).size();
    output += '?';
    in += skip;
    inLeft -= skip;
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
  }
  char* out = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(handle, nullptr, nullptr, &out, &outLeft);
  output.append(buffer, static_cast<std::size_t>(out - buffer));
  iconv_close(handle);
  return output;
}

}  // namespace

std::string EncodeInCodePage(std::string_view utf8, const std::string& codePage) {
  if (IsUtf8Name(codePage)) return std::string(utf8);
  return Convert(utf8, "UTF-8", codePage, true);
}

std::string ThroughCodePage(std::string_view utf8, const std::string& codePage) {
  if (IsUtf8Name(codePage)) return std::string(utf8);
  return Convert(EncodeInCodePage(utf8, codePage), codePage, "UTF-8", false);
}

}  // namespace telvano::core
