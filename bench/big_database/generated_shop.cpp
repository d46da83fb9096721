#include "generated_shop.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace telvano::bench {

std::vector<Article> MakeCatalog(Random& random) {
  static const char* const kWords[] = {"Хлеб",      "Млеко",    "Јогурт", "Сир",      "Кафа",    "Чај",
                                       "Шећер",     "Брашно",   "Уље",    "Со",       "Јаја",    "Сок",
                                       "Вода",      "Пиво",     "Вино",   "Чоколада", "Кекс",    "Паштета",
                                       "Шунка",     "Кобасица", "Јабуке", "Банане",   "Кромпир", "Лук",
                                       "Детерџент", "Сапун",    "Шампон", "Пелене"};
  static const char* const kSizes[] = {"500г", "1кг", "1л", "0,5л", "250г", "200г", "2л", "100г", "10 ком"};
  std::vector<Article> catalog;
  for (int i = 0; i < 3000; ++i) {
    Article article;
    char gtin[16];
    std::snprintf(gtin, sizeof gtin, "860%010d", 1000000 + i * 37);
    article.gtin = gtin;
    article.name = std::string(kWords[random.Below(std::size(kWords))]) + " " +
                   kSizes[random.Below(std::size(kSizes))] + " арт. " + std::to_string(10000 + i);
    const int whole = 39 + random.Below(2960);
    article.priceCents = whole * 100 + (random.Chance(60) ? 99 : 0);
    const int uom = random.Below(100);
    article.uom = uom < 80 ? "kom" : uom < 95 ? "kg" : "l";
    const int label = random.Below(100);
    article.label = label < 65 ? 0 : label < 95 ? 1 : label < 98 ? 2 : 3;
    catalog.push_back(std::move(article));
  }
  return catalog;
}

std::int64_t TaxIncluded(std::int64_t total4, int rate) {
  if (rate == 0) return 0;
  return (total4 * rate * 2 + (100 + rate)) / (2 * (100 + rate));
}

std::string RandomUrlPart(Random& random, std::size_t length) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string text;
  text.reserve(length + 3);
  while (text.size() < length) {
    std::uint64_t bits = random.Next();
    for (int k = 0; k < 10 && text.size() < length; ++k, bits >>= 6)
      text.push_back(kAlphabet[(bits & 63) % 62]);
  }
  return text + "%3D";
}

std::string Uuid(Random& random) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::uint64_t high = random.Next();
  std::uint64_t low = random.Next();
  high = (high & ~0xF000ULL) | 0x4000ULL;              // version 4
  low = (low & 0x3FFFFFFFFFFFFFFFULL) | (1ULL << 63);  // RFC 4122 variant
  std::string text;
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) text.push_back('-');
    const std::uint64_t word = i < 16 ? high : low;
    text.push_back(kHex[(word >> (60 - 4 * (i % 16))) & 15]);
  }
  return text;
}

std::vector<MonthPlan> PlanMonths(std::int64_t invoices, std::int64_t perMonth) {
  using namespace std::chrono;
  const year_month_day today{floor<days>(system_clock::now())};
  const year_month newest = year_month(today.year(), today.month()) - months(1);
  const std::int64_t monthCount = (invoices + perMonth - 1) / perMonth;
  std::vector<MonthPlan> plan;
  for (std::int64_t i = monthCount - 1; i >= 0; --i) {
    const year_month month = newest - months(static_cast<int>(i));
    const unsigned length = static_cast<unsigned>((month / last).day());
    const std::int64_t count = i == monthCount - 1 ? invoices - (monthCount - 1) * perMonth : perMonth;
    // A shop that opened during its first month: its invoices fill the last part of that month.
    const auto days =
        static_cast<unsigned>(std::max<std::int64_t>(1, (length * count + perMonth - 1) / perMonth));
    plan.push_back({month, count, std::min(days, length)});
  }
  return plan;
}

std::string Two(unsigned value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02u", value % 100);
  return text;
}

std::string MonthText(std::chrono::year_month month) {
  return std::to_string(static_cast<int>(month.year())) + "-" + Two(static_cast<unsigned>(month.month()));
}

}  // namespace telvano::bench
