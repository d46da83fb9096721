#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "decimal.h"
#include "sim_time.h"

namespace telvano::pfrsim {

enum TaxCategoryType : int { kTaxOnNet = 0, kTaxOnTotal = 1, kAmountPerQuantity = 2 };

struct TaxRate {
  std::string label;
  Decimal rate;
};

struct TaxCategory {
  std::string name;
  int categoryType = kTaxOnNet;
  int orderId = 0;
  std::vector<TaxRate> taxRates;
};

struct TaxGroup {
  std::string validFromText;
  TimePoint validFrom;
  int groupId = 0;
  std::vector<TaxCategory> taxCategories;
};

// A label of the group in force with the category it belongs to.
struct LabelRate {
  const TaxCategory* category = nullptr;
  Decimal rate;
};

// The tax-rate groups a processor publishes: the group in force is the one with the latest validFrom that has
// begun; later groups are announced ahead of time and may not be used yet.
class TaxRateTable {
 public:
  // Production labels (Cyrillic): Ђ 20 % О-ПДВ, Е 10 % П-ПДВ, А 0 %, Г 0 %, in force since 2024-01-01, and a
  // group from 2099-01-01 that raises Ђ to 22 % and adds Ж 19 %.
  static TaxRateTable Production();
  // An "allTaxRates" array, or an object holding one (like a saved status answer). Throws std::runtime_error.
  static TaxRateTable FromJsonText(const std::string& text);

  const std::vector<TaxGroup>& Groups() const { return m_groups; }
  // Nullptr when no group has begun yet.
  const TaxGroup* InForce(TimePoint now) const;
  static std::optional<LabelRate> FindLabel(const TaxGroup& group, const std::string& label);

  // categoryType as the enumeration's name ("TaxOnNet") or, with categoryTypeAsInt, as its number.
  static nlohmann::ordered_json GroupJson(const TaxGroup& group, bool categoryTypeAsInt);
  nlohmann::ordered_json AllJson(bool categoryTypeAsInt) const;

 private:
  std::vector<TaxGroup> m_groups;
};

std::string CategoryTypeName(int categoryType);

}  // namespace telvano::pfrsim
