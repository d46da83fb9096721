#include "tax_rate_table.h"

#include <stdexcept>

namespace telvano::pfrsim {

namespace {

using nlohmann::json;

TaxGroup MakeGroup(const std::string& validFrom, int groupId, std::vector<TaxCategory> categories) {
  TaxGroup group;
  group.validFromText = validFrom;
  group.validFrom = ParseUtcIso(validFrom).value();
  group.groupId = groupId;
  group.taxCategories = std::move(categories);
  return group;
}

TaxCategory Category(const std::string& name, int orderId, std::vector<TaxRate> rates) {
  return TaxCategory{name, kTaxOnNet, orderId, std::move(rates)};
}

TaxRate Rate(const std::string& label, int percent) { return TaxRate{label, Decimal::FromInteger(percent)}; }

int CategoryTypeFromJson(const json& value) {
  if (value.is_number_integer()) return value.get<int>();
  const std::string text = value.get<std::string>();
  for (int type : {kTaxOnNet, kTaxOnTotal, kAmountPerQuantity}) {
    if (text == CategoryTypeName(type)) return type;
  }
  throw std::runtime_error("unknown categoryType " + text);
}

Decimal RateFromJson(const json& value) {
  std::optional<Decimal> rate;
  if (value.is_number_integer()) rate = Decimal::FromInteger(value.get<std::int64_t>());
  else if (value.is_number()) rate = Decimal::FromDouble(value.get<double>());
  if (!rate) throw std::runtime_error("unreadable tax rate " + value.dump());
  return *rate;
}

}  // namespace

std::string CategoryTypeName(int categoryType) {
  switch (categoryType) {
    case kTaxOnNet: return "TaxOnNet";
    case kTaxOnTotal: return "TaxOnTotal";
    case kAmountPerQuantity: return "AmountPerQuantity";
    default: return std::to_string(categoryType);
  }
}

TaxRateTable TaxRateTable::Production() {
  TaxRateTable table;
  table.m_groups.push_back(MakeGroup("2024-01-01T00:00:00Z", 6,
                                     {Category("О-ПДВ", 1, {Rate("Ђ", 20)}), Category("П-ПДВ", 2, {Rate("Е", 10)}),
                                      Category("Није у ПДВ", 3, {Rate("А", 0)}),
                                      Category("Без ПДВ", 4, {Rate("Г", 0)})}));
  table.m_groups.push_back(MakeGroup("2099-01-01T00:00:00Z", 7,
                                     {Category("О-ПДВ", 1, {Rate("Ђ", 22)}), Category("П-ПДВ", 2, {Rate("Е", 10)}),
                                      Category("Није у ПДВ", 3, {Rate("А", 0)}),
                                      Category("Без ПДВ", 4, {Rate("Г", 0)}), Category("ПДВ-Ж", 5, {Rate("Ж", 19)})}));
  return table;
}

TaxRateTable TaxRateTable::FromJsonText(const std::string& text) {
  try {
    json document = json::parse(text);
    const json& groups = document.is_object() ? document.at("allTaxRates") : document;
    TaxRateTable table;
    for (const json& groupJson : groups) {
      TaxGroup group;
      group.validFromText = groupJson.at("validFrom").get<std::string>();
      const auto validFrom = ParseUtcIso(group.validFromText);
      if (!validFrom) throw std::runtime_error("unreadable validFrom " + group.validFromText);
      group.validFrom = *validFrom;
      group.groupId = groupJson.at("groupId").get<int>();
      for (const json& categoryJson : groupJson.at("taxCategories")) {
        TaxCategory category;
        category.name = categoryJson.at("name").get<std::string>();
        category.categoryType = CategoryTypeFromJson(categoryJson.at("categoryType"));
        category.orderId = categoryJson.value("orderId", 0);
        for (const json& rateJson : categoryJson.at("taxRates")) {
          category.taxRates.push_back(TaxRate{rateJson.at("label").get<std::string>(), RateFromJson(rateJson.at("rate"))});
        }
        group.taxCategories.push_back(std::move(category));
      }
      table.m_groups.push_back(std::move(group));
    }
    if (table.m_groups.empty()) throw std::runtime_error("no tax-rate group");
    return table;
  } catch (const json::exception& error) {
    throw std::runtime_error(std::string("tax rates: ") + error.what());
  }
}

const TaxGroup* TaxRateTable::InForce(TimePoint now) const {
  const TaxGroup* chosen = nullptr;
  for (const TaxGroup& group : m_groups) {
    if (group.validFrom <= now && (chosen == nullptr || group.validFrom > chosen->validFrom)) chosen = &group;
  }
  return chosen;
}

std::optional<LabelRate> TaxRateTable::FindLabel(const TaxGroup& group, const std::string& label) {
  for (const TaxCategory& category : group.taxCategories) {
    for (const TaxRate& rate : category.taxRates) {
      if (rate.label == label) return LabelRate{&category, rate.rate};
    }
  }
  return std::nullopt;
}

nlohmann::ordered_json TaxRateTable::GroupJson(const TaxGroup& group, bool categoryTypeAsInt) {
  nlohmann::ordered_json categories = nlohmann::ordered_json::array();
  for (const TaxCategory& category : group.taxCategories) {
    nlohmann::ordered_json rates = nlohmann::ordered_json::array();
    for (const TaxRate& rate : category.taxRates) {
      rates.push_back({{"rate", rate.rate.ToDouble()}, {"label", rate.label}});
    }
    nlohmann::ordered_json entry;
    entry["name"] = category.name;
    if (categoryTypeAsInt) entry["categoryType"] = category.categoryType;
    else entry["categoryType"] = CategoryTypeName(category.categoryType);
    entry["taxRates"] = rates;
    entry["orderId"] = category.orderId;
    categories.push_back(entry);
  }
  nlohmann::ordered_json result;
  result["validFrom"] = group.validFromText;
  result["groupId"] = group.groupId;
  result["taxCategories"] = categories;
  return result;
}

nlohmann::ordered_json TaxRateTable::AllJson(bool categoryTypeAsInt) const {
  nlohmann::ordered_json all = nlohmann::ordered_json::array();
  for (const TaxGroup& group : m_groups) all.push_back(GroupJson(group, categoryTypeAsInt));
  return all;
}

}  // namespace telvano::pfrsim
