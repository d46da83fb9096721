#include "db/database.h"

#include <charconv>
#include <algorithm>
#include <cstdint>

namespace telvano::db {

namespace {

using Wide = __int128;

Wide PowerOfTen(int exponent) {
  Wide result = 1;
  for (int i = 0; i < exponent; ++i) result *= 10;
  return result;
}

std::string WideToString(Wide value) {
  if (value == 0) return "0";
  bool negative = value < 0;
  std::string digits;
  while (value != 0) {
    int digit = static_cast<int>(value % 10);
    digits.insert(digits.begin(), static_cast<char>('0' + (digit < 0 ? -digit : digit)));
    value /= 10;
  }
  return negative ? "-" + digits : digits;
}

// units at `scale` written with exactly `scale` fraction digits.
std::string Render(Wide units, int scale) {
  bool negative = units < 0;
  std::string digits = WideToString(negative ? -units : units);
  if (scale > 0) {
    if (static_cast<int>(digits.size()) <= scale) digits.insert(0, scale - digits.size() + 1, '0');
    digits.insert(digits.size() - scale, 1, '.');
  }
  return negative && units != 0 ? "-" + digits : digits;
}

}  // namespace

std::string Decimal::ToString() const {
  if (scale < 0) return Render(static_cast<Wide>(units) * PowerOfTen(-scale), 0);
  return Render(units, scale);
}

std::string Decimal::ToFixed(int decimals) const {
  if (decimals < 0) decimals = 0;
  Wide value = units;
  int currentScale = scale;
  if (currentScale < 0) {
    value *= PowerOfTen(-currentScale);
    currentScale = 0;
  }
  if (decimals >= currentScale) return Render(value * PowerOfTen(decimals - currentScale), decimals);
  // Drop the surplus digits, rounding half away from zero.
  Wide divisor = PowerOfTen(currentScale - decimals);
  Wide quotient = value / divisor;
  Wide remainder = value % divisor;
  if (remainder < 0) remainder = -remainder;
  if (remainder * 2 >= divisor) quotient += value < 0 ? -1 : 1;
  return Render(quotient, decimals);
}

std::optional<Decimal> Decimal::Parse(std::string_view text) {
  bool negative = false;
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  Wide units = 0;
  int scale = 0;
  int digitCount = 0;
  bool seenPoint = false;
  const Wide limit = static_cast<Wide>(INT64_MAX);
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c == '.' && !seenPoint) {
      seenPoint = true;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    units = units * 10 + (c - '0');
    if (units > limit) return std::nullopt;
    ++digitCount;
    if (seenPoint) ++scale;
  }
  if (digitCount == 0) return std::nullopt;
  return Decimal{static_cast<std::int64_t>(negative ? -units : units), scale};
}

bool Decimal::operator==(const Decimal& other) const {
  int common = std::max(scale, other.scale);
  auto widen = [common](const Decimal& d) {
    return static_cast<Wide>(d.units) * PowerOfTen(common - d.scale);
  };
  return widen(*this) == widen(other);
}

Param SqlValue(const std::string& text) {
  if (text.empty()) return nullptr;
  return text;
}

}  // namespace telvano::db
