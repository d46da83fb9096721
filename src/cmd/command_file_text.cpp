#include "cmd/command_file_text.h"

#include "platform/code_page.h"

namespace telvano::cmd {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

}  // namespace

std::string DecodeCommandFileText(std::string_view bytes, const std::string& codePage) {
  if (bytes.starts_with(kUtf8Bom)) return platform::ToUtf8(bytes.substr(kUtf8Bom.size()), "UTF-8");
  if (bytes.starts_with(kUtf16LeBom)) return platform::ToUtf8(bytes.substr(kUtf16LeBom.size()), "UTF-16LE");
  if (bytes.starts_with(kUtf16BeBom)) return platform::ToUtf8(bytes.substr(kUtf16BeBom.size()), "UTF-16BE");
  // Without a mark the bytes say for themselves whether they are UTF-8; a POS writing in the shop's legacy
  // code page produces bytes that are not.
  if (!platform::FindInvalidUtf8(bytes)) return std::string(bytes);
  return platform::ToUtf8(bytes, codePage.empty() ? std::string("UTF-8") : codePage);
}

std::vector<std::string> SplitCommandLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace telvano::cmd
