#include "tax_calculator.h"

#include <algorithm>
#include <map>

namespace telvano::pfrsim {

namespace {

constexpr __int128 kMicro = 1'000'000;

struct LabelPosition {
  std::size_t category;
  std::size_t rate;
  auto operator<=>(const LabelPosition&) const = default;
};

LabelPosition PositionOf(const TaxGroup& group, const std::string& label) {
  for (std::size_t c = 0; c < group.taxCategories.size(); ++c) {
    const auto& rates = group.taxCategories[c].taxRates;
    for (std::size_t r = 0; r < rates.size(); ++r) {
      if (rates[r].label == label) return {c, r};
    }
  }
  return {group.taxCategories.size(), 0};
}

}  // namespace

std::vector<TaxAmount> ComputeTaxes(const std::vector<InvoiceItem>& items, const TaxGroup& group) {
  // Tax per label in units of 10^-12, rounded to four decimals only at the end.
  std::map<LabelPosition, __int128> taxes;
  for (const InvoiceItem& item : items) {
    std::vector<std::string> labels = item.labels;
    std::sort(labels.begin(), labels.end());
    labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
    __int128 netRates = 0;
    for (const std::string& label : labels) {
      const auto found = TaxRateTable::FindLabel(group, label);
      if (found && found->category->categoryType == kTaxOnNet) netRates += found->rate.Micros();
    }
    for (const std::string& label : labels) {
      const auto found = TaxRateTable::FindLabel(group, label);
      if (!found) continue;
      const __int128 gross = item.totalAmount.Micros();
      const __int128 rate = found->rate.Micros();
      __int128 tax = 0;
      switch (found->category->categoryType) {
        case kTaxOnTotal: tax = DivideRounded(gross * rate, 100); break;
        case kAmountPerQuantity: tax = static_cast<__int128>(item.quantity.Micros()) * rate; break;
        default: tax = DivideRounded(gross * rate * kMicro, 100 * kMicro + netRates); break;
      }
      taxes[PositionOf(group, label)] += tax;
    }
  }
  std::vector<TaxAmount> result;
  for (const auto& [position, tax] : taxes) {
    const TaxCategory& category = group.taxCategories[position.category];
    const TaxRate& rate = category.taxRates[position.rate];
    const auto amount = static_cast<std::int64_t>(DivideRounded(tax, kMicro * 100) * 100);
    result.push_back({rate.label, category.name, category.categoryType, rate.rate, Decimal::FromMicros(amount)});
  }
  return result;
}

}  // namespace telvano::pfrsim
