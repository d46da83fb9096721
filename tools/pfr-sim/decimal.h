#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace telvano::pfrsim {

// An exact decimal amount in millionths. Processor arithmetic (item totals, tax amounts) must not go through
// binary floating point, or 68.46 at 9 % would not reliably give 5.6527.
class Decimal {
 public:
  static constexpr std::int64_t kScale = 1'000'000;

  constexpr Decimal() = default;
  static constexpr Decimal FromMicros(std::int64_t micros) { return Decimal(micros); }
  static constexpr Decimal FromInteger(std::int64_t value) { return Decimal(value * kScale); }

  // Decimal text with "." ("68.46", "-1", "1e-3", "2.5E+2"); nullopt for anything else or for more than six
  // fractional digits or a value out of range.
  static std::optional<Decimal> Parse(const std::string& text);
  // The shortest text that reads back as `value`; a JSON number written by a client is exactly that text.
  static std::optional<Decimal> FromDouble(double value);

  std::int64_t Micros() const { return m_micros; }
  bool IsNegative() const { return m_micros < 0; }
  Decimal Negated() const { return Decimal(-m_micros); }
  // Rounded half away from zero to `decimals` (0..6) fractional digits.
  Decimal Rounded(int decimals) const;
  bool HasAtMostDecimals(int decimals) const;
  double ToDouble() const;
  // Units of 1/10^decimals, rounded half away from zero (for the 10000-scaled amount of the verification URL).
  std::int64_t ScaledTo(int decimals) const;

  // Receipt notation: "." groups thousands, "," separates exactly `decimals` digits ("1.234,56", "-730,00").
  std::string ToReceiptText(int decimals = 2) const;
  // Receipt notation without trailing zeros, for quantities ("2", "1,5", "0,333").
  std::string ToReceiptQuantity() const;

  friend Decimal operator+(Decimal a, Decimal b) { return Decimal(a.m_micros + b.m_micros); }
  friend Decimal operator-(Decimal a, Decimal b) { return Decimal(a.m_micros - b.m_micros); }
  Decimal& operator+=(Decimal other) {
    m_micros += other.m_micros;
    return *this;
  }
  friend bool operator==(Decimal a, Decimal b) { return a.m_micros == b.m_micros; }
  friend auto operator<=>(Decimal a, Decimal b) { return a.m_micros <=> b.m_micros; }

 private:
  explicit constexpr Decimal(std::int64_t micros) : m_micros(micros) {}
  std::int64_t m_micros = 0;
};

// Integer division of 128-bit values rounded half away from zero; the denominator must be positive.
__int128 DivideRounded(__int128 numerator, __int128 denominator);

// The exact product a × b rounded half away from zero to `decimals` fractional digits.
Decimal MultiplyRounded(Decimal a, Decimal b, int decimals);

}  // namespace telvano::pfrsim
