#pragma once

// The generated shop that fills a big database: its articles, tax labels, cashiers' invoices spread over
// months, and the random texts of the processor's answers. The same seed gives the same shop.
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace telvano::bench {

class Random {
 public:
  explicit Random(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t Next() {  // splitmix64
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  std::uint64_t m_state;
};

struct TaxLabel {
  const char* letter;
  const char* code;
  int rate;
  const char* category;
};

// The processor's production rates (tax group 6).
inline constexpr std::array<TaxLabel, 4> kLabels{{
    {"Ђ", "06", 20, "О-ПДВ"},
    {"Е", "07", 10, "П-ПДВ"},
    {"А", "01", 0, "Није у ПДВ"},
    {"Г", "04", 0, "Без ПДВ"},
}};
inline constexpr int kTaxGroup = 6;

struct Article {
  std::string gtin;
  std::string name;
  std::int64_t priceCents;
  const char* uom;
  int label;  // index into kLabels
};

std::vector<Article> MakeCatalog(Random& random);

// The tax contained in a price that includes it, in units of 0.0001, rounded half up.
std::int64_t TaxIncluded(std::int64_t total4, int rate);

// `length` random URL characters and the "%3D" that ends a verification URL.
std::string RandomUrlPart(Random& random, std::size_t length);

// A random version-4 UUID in its usual text form.
std::string Uuid(Random& random);

// One calendar month of the fill: `count` invoices over its last `days` days.
struct MonthPlan {
  std::chrono::year_month month;
  std::int64_t count;
  unsigned days;
};

// The months of `invoices` invoices, oldest first, ending with the month before this one.
std::vector<MonthPlan> PlanMonths(std::int64_t invoices, std::int64_t perMonth);

// "07": two digits.
std::string Two(unsigned value);
// "2024-05".
std::string MonthText(std::chrono::year_month month);

}  // namespace telvano::bench
