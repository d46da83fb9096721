#include "invoice/sdc_error_text.h"

namespace telvano::invoice {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t FindIgnoreCase(std::string_view text, std::string_view pattern, std::size_t from = 0) {
  if (pattern.empty() || text.size() < pattern.size()) return std::string_view::npos;
  for (std::size_t i = from; i + pattern.size() <= text.size(); ++i) {
    std::size_t k = 0;
    while (k < pattern.size() && Lower(text[i + k]) == Lower(pattern[k])) ++k;
    if (k == pattern.size()) return i;
  }
  return std::string_view::npos;
}

std::string ReplaceFirst(const std::string& text, std::string_view pattern, std::string_view replacement) {
  const std::size_t at = FindIgnoreCase(text, pattern);
  if (at == std::string::npos) return text;
  return text.substr(0, at) + std::string(replacement) + text.substr(at + pattern.size());
}

std::string ReplaceAll(const std::string& text, std::string_view pattern, std::string_view replacement) {
  std::string result;
  result.reserve(text.size());
  std::size_t from = 0;
  for (std::size_t at = FindIgnoreCase(text, pattern); at != std::string::npos;
       at = FindIgnoreCase(text, pattern, from)) {
    result.append(text, from, at - from);
    result.append(replacement);
    from = at + pattern.size();
  }
  result.append(text, from);
  return result;
}

std::string RemoveAll(const std::string& text, char c) {
  std::string result;
  result.reserve(text.size());
  for (char x : text) {
    if (x != c) result.push_back(x);
  }
  return result;
}

// Puts every modelState entry on its own line.
std::string ReshapeModelState(std::string_view body) {
  std::string text(body);
  if (text.find("\"modelState\"") == std::string::npos) return text;
  text = ReplaceFirst(text, "\"modelState\":[", "\"modelState\":\n[\n");
  text = ReplaceAll(text, "]},", "]},\n");
  text = RemoveAll(text, '{');
  text = RemoveAll(text, '}');
  return ReplaceFirst(text, "]]", "]\n]");
}

}  // namespace

std::string BuildSdcErrorText(std::string_view body, const ValueList& errorTexts) {
  const std::string reshaped = ReshapeModelState(body);
  std::string result;
  result += std::string(kSdcErrorHeading) + "\r\n";
  result += "\r\n";
  result += reshaped + "\r\n";
  result += "\r\n";
  result += std::string(60, '=') + "\r\n";
  for (const auto& [code, text] : errorTexts.Pairs()) {
    if (reshaped.find(code) != std::string::npos) result += code + ": " + text + "\r\n";
  }
  return result;
}

std::string BuildNoReplyText(std::string_view errorText) {
  return std::string(kSdcErrorHeading) + "\n\n" + std::string(errorText);
}

}  // namespace telvano::invoice
