#include "decimal.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace telvano::pfrsim {

namespace {

constexpr std::int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Groups the integer digits by three with "." as receipts do.
std::string GroupThousands(const std::string& digits) {
  std::string grouped;
  const std::size_t length = digits.size();
  for (std::size_t i = 0; i < length; ++i) {
    if (i > 0 && (length - i) % 3 == 0) grouped += '.';
    grouped += digits[i];
  }
  return grouped;
}

}  // namespace

__int128 DivideRounded(__int128 numerator, __int128 denominator) {
  const bool negative = numerator < 0;
  const __int128 magnitude = negative ? -numerator : numerator;
  const __int128 quotient = (magnitude + denominator / 2) / denominator;
  return negative ? -quotient : quotient;
}

std::optional<Decimal> Decimal::Parse(const std::string& text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  std::string digits;
  int fractionDigits = 0;
  bool seenPoint = false;
  bool seenDigit = false;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (IsDigit(c)) {
      digits += c;
      seenDigit = true;
      if (seenPoint) ++fractionDigits;
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      break;
    }
  }
  if (!seenDigit) return std::nullopt;
  int exponent = 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    if (pos < text.size() && text[pos] == '+') ++pos;
    const auto [end, error] = std::from_chars(text.data() + pos, text.data() + text.size(), exponent);
    if (error != std::errc() || end == text.data() + pos) return std::nullopt;
    pos = static_cast<std::size_t>(end - text.data());
  }
  if (pos != text.size()) return std::nullopt;
  // value = digits × 10^(exponent - fractionDigits); we want millionths.
  int shift = exponent - fractionDigits + 6;
  while (shift < 0 && !digits.empty() && digits.back() == '0') {
    digits.pop_back();
    ++shift;
  }
  if (shift < 0) return std::nullopt;  // more than six fractional digits
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return Decimal(0);
  digits = digits.substr(first);
  if (digits.size() + static_cast<std::size_t>(shift) > 18) return std::nullopt;
  digits.append(static_cast<std::size_t>(shift), '0');
  std::int64_t micros = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), micros);
  return Decimal(negative ? -micros : micros);
}

std::optional<Decimal> Decimal::FromDouble(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  std::array<char, 64> buffer{};
  const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (error != std::errc()) return std::nullopt;
  return Parse(std::string(buffer.data(), end));
}

Decimal Decimal::Rounded(int decimals) const {
  const std::int64_t unit = kPowersOfTen[6 - decimals];
  return Decimal(static_cast<std::int64_t>(DivideRounded(m_micros, unit)) * unit);
}

bool Decimal::HasAtMostDecimals(int decimals) const { return m_micros % kPowersOfTen[6 - decimals] == 0; }

double Decimal::ToDouble() const {
  // Through the shortest decimal text so that 68.46 becomes the double nearest to 68.46.
  std::string text = ToReceiptText(6);
  std::string plain;
  for (char c : text) {
    if (c == '.') continue;
    plain += c == ',' ? '.' : c;
  }
  double value = 0;
  std::from_chars(plain.data(), plain.data() + plain.size(), value);
  return value;
}

std::int64_t Decimal::ScaledTo(int decimals) const {
  return static_cast<std::int64_t>(DivideRounded(m_micros, kPowersOfTen[6 - decimals]));
}

std::string Decimal::ToReceiptText(int decimals) const {
  const std::int64_t scaled = ScaledTo(decimals);
  const bool negative = scaled < 0;
  const std::uint64_t magnitude =
      negative ? static_cast<std::uint64_t>(-(scaled + 1)) + 1 : static_cast<std::uint64_t>(scaled);
  const std::uint64_t unit = static_cast<std::uint64_t>(kPowersOfTen[decimals]);
  std::string text = negative ? "-" : "";
  text += GroupThousands(std::to_string(magnitude / unit));
  if (decimals > 0) {
    std::string fraction = std::to_string(magnitude % unit);
    text += ',' + std::string(static_cast<std::size_t>(decimals) - fraction.size(), '0') + fraction;
  }
  return text;
}

std::string Decimal::ToReceiptQuantity() const {
  std::string text = ToReceiptText(6);
  while (text.back() == '0') text.pop_back();
  if (text.back() == ',') text.pop_back();
  return text;
}

Decimal MultiplyRounded(Decimal a, Decimal b, int decimals) {
  // a × b in units of 10^-12, then down to millionths rounded at the requested digit.
  const __int128 product = static_cast<__int128>(a.Micros()) * b.Micros();
  const __int128 unit = static_cast<__int128>(kPowersOfTen[6]) * kPowersOfTen[6 - decimals];
  const __int128 rounded = DivideRounded(product, unit);
  return Decimal::FromMicros(static_cast<std::int64_t>(rounded * kPowersOfTen[6 - decimals]));
}

}  // namespace telvano::pfrsim
