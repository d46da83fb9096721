#include "cmd/response_line.h"

namespace telvano::cmd {

namespace {

bool NeedsQuotes(const std::string& field) {
  for (const char c : field) {
    const auto code = static_cast<unsigned char>(c);
    if ((code >= 1 && code <= 32) || c == ',' || c == '"') return true;
  }
  return false;
}

}  // namespace

std::string QuoteResponseField(const std::string& field) {
  if (!NeedsQuotes(field)) return field;
  std::string quoted = "\"";
  for (const char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string JoinResponseFields(const std::vector<std::string>& fields) {
  if (fields.size() == 1 && fields.front().empty()) return "\"\"";
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += QuoteResponseField(fields[i]);
  }
  return line;
}

}  // namespace telvano::cmd
