#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/database.h"

namespace telvano::core {

// Numbers as text, always with "." as the decimal separator and never with a thousands separator,
// whatever the process locale says (std::to_chars / std::from_chars underneath).

// A double with exactly `decimals` decimals (0 to 15), rounded the way a cashier expects: the value is
// first taken to 15 significant digits (so 1.005 is 1.005, not 1.00499999…), then rounded half away from
// zero. "1.01" for (1.005, 2), "-2.50" for (-2.5, 2), "3" for (2.5, 0). A zero never carries a sign.
// Non-finite values give "nan", "inf" or "-inf".
std::string FormatFixed(double value, int decimals);

// An exact decimal with exactly `decimals` decimals, rounded half away from zero.
std::string FormatFixed(const db::Decimal& value, int decimals);

// The shortest text that reads back as the same double ("0.1", "12.5", "100").
std::string FormatShortest(double value);

// Reads a number: optional blanks, an optional sign, digits with an optional "." fraction and optional
// exponent ("12.5", "-3", "+0.25", "1e3"). Anything else (a comma, thousands separators, "inf", an
// empty text, trailing words) gives nullopt.
std::optional<double> ParseNumber(std::string_view text);

// Reads a whole number in the range of int64 (optional blanks and sign); nullopt otherwise.
std::optional<std::int64_t> ParseInteger(std::string_view text);

}  // namespace telvano::core
