#include "core/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/text_utils.h"

namespace telvano::core {
namespace {

constexpr int kSignificantDigits = 15;

// Adds one to a string of decimal digits ("199" -> "200", "99" -> "100").
void IncrementDigits(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// Strips blanks and a leading "+", which std::from_chars does not accept.
std::string_view NumberBody(std::string_view text, std::string& storage) {
  storage = TrimBlanks(text);
  std::string_view body = storage;
  if (!body.empty() && body[0] == '+') {
    body.remove_prefix(1);
    if (!body.empty() && (body[0] == '-' || body[0] == '+')) return {};
  }
  return body;
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
  decimals = std::clamp(decimals, 0, 15);
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";

  // 15 significant digits in scientific form: "-1.23456789012345e+02".
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                                    kSignificantDigits - 1);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const bool negative = text[0] == '-';
  const std::size_t ePos = text.find('e');
  std::string digits;
  for (char c : text.substr(0, ePos)) {
    if (c >= '0' && c <= '9') digits.push_back(c);
  }
  const int exponent = std::atoi(std::string(text.substr(ePos + 1)).c_str());

  // value = digits × 10^(exponent - 14); keep digits down to 10^-decimals.
  const int scale = exponent - (kSignificantDigits - 1);
  if (scale >= -decimals) {
    digits.append(static_cast<std::size_t>(scale + decimals), '0');
  } else {
    const int drop = -decimals - scale;
    const int keep = static_cast<int>(digits.size()) - drop;
    const char roundDigit = (keep >= 0 && keep < static_cast<int>(digits.size())) ? digits[keep] : '0';
    digits = keep > 0 ? digits.substr(0, static_cast<std::size_t>(keep)) : std::string("0");
    if (roundDigit >= '5') IncrementDigits(digits);
  }

  // digits now hold the result × 10^decimals.
  if (digits.size() <= static_cast<std::size_t>(decimals)) {
    digits.insert(0, static_cast<std::size_t>(decimals) + 1 - digits.size(), '0');
  }
  std::string out = digits.substr(0, digits.size() - static_cast<std::size_t>(decimals));
  out.erase(0, std::min(out.find_first_not_of('0'), out.size() - 1));
  if (decimals > 0) out += "." + digits.substr(digits.size() - static_cast<std::size_t>(decimals));
  const bool zero = digits.find_first_not_of('0') == std::string::npos;
  return (negative && !zero) ? "-" + out : out;
}

std::string FormatFixed(const db::Decimal& value, int decimals) { return value.ToFixed(decimals); }

std::string FormatShortest(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::optional<double> ParseNumber(std::string_view text) {
  std::string storage;
  const std::string_view body = NumberBody(text, storage);
  if (body.empty()) return std::nullopt;
  // Only digits, sign, point and exponent: from_chars would also take "inf", "nan" and hex forms.
  for (char c : body) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
      return std::nullopt;
  }
  double value = 0;
  const auto result = std::from_chars(body.data(), body.data() + body.size(), value);
  if (result.ec != std::errc() || result.ptr != body.data() + body.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  std::string storage;
  const std::string_view body = NumberBody(text, storage);
  if (body.empty()) return std::nullopt;
  std::int64_t value = 0;
  const auto result = std::from_chars(body.data(), body.data() + body.size(), value);
  if (result.ec != std::errc() || result.ptr != body.data() + body.size()) return std::nullopt;
  return value;
}

}  // namespace telvano::core
