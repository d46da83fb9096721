#include "sdc/tax_groups.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "db/database.h"
#include "db/settings.h"
#include "platform/clock.h"
#include "sdc/processor_json.h"
#include "sdc/tax_labels.h"

namespace telvano::sdc {

namespace {

using Json = nlohmann::json;

constexpr const char* kSdcMrcKey = "SDC_MRC";
constexpr const char* kInsertTaxGroup =
    "insert into tax_groups(  group_id, label, rate, category_type, name, order_id, valid_from, label_cyr ) "
    "values( ?,?,?,?,?,?,?,? )";

// One row of tax_groups, every value as the text that is stored (an empty text is stored as null).
struct TaxGroupRow {
  std::string groupId;
  std::string label;
  std::string rate;
  std::string categoryType;
  std::string name;
  std::string orderId;
  std::string validFrom;
  std::string labelCyr;
};

[[noreturn]] void InvalidAnswer(const std::string& detail) { throw SdcError(kInvalidStatusAnswerText + detail); }

const Json& ArrayMember(const Json& object, const char* name, const char* owner) {
  if (!object.is_object()) InvalidAnswer(std::string(owner) + " is not an object");
  const auto found = object.find(name);
  if (found == object.end() || !found->is_array()) InvalidAnswer(std::string("no array \"") + name + "\"");
  return *found;
}

// "groupId" and "orderId": an integer, or a text of digits; written back as decimal text.
std::string IntegerMember(const Json& object, const char* name) {
  const auto found = object.find(name);
  if (found != object.end()) {
    if (found->is_number_unsigned()) {
      const auto value = found->get<std::uint64_t>();
      if (value <= static_cast<std::uint64_t>(INT64_MAX)) return std::to_string(value);
    } else if (found->is_number_integer()) {
      return std::to_string(found->get<std::int64_t>());
    }
    if (found->is_string()) {
      const std::string& text = found->get_ref<const std::string&>();
      std::int64_t value = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      if (error == std::errc() && end == text.data() + text.size() && !text.empty()) return std::to_string(value);
    }
  }
  InvalidAnswer(std::string("\"") + name + "\" is not an integer");
}

// A text member as text; a number as its shortest decimal text with "."; missing or null as "".
std::string TextMember(const Json& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end() || found->is_null()) return {};
  if (found->is_string()) return found->get<std::string>();
  if (found->is_number_integer() || found->is_number_unsigned()) return found->dump();
  if (found->is_number_float()) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, found->get<double>(), std::chars_format::fixed);
    if (error == std::errc()) return std::string(buffer, end);
    return found->dump();
  }
  return found->dump();
}

// The processor's own enumeration value is accepted as a number too; any other value is -1.
int CategoryTypeOf(const Json& category) {
  const auto found = category.find("categoryType");
  if (found == category.end()) return -1;
  if (found->is_string()) return TaxCategoryTypeNumber(found->get_ref<const std::string&>());
  if (found->is_number_integer()) {
    const auto value = found->get<std::int64_t>();
    if (value >= 0 && value <= 2) return static_cast<int>(value);
  }
  return -1;
}

// Every rate of "allTaxRates" in array order. The whole answer is read before anything is stored, so an
// unreadable answer changes nothing.
std::vector<TaxGroupRow> ReadRows(const Json& answer) {
  std::vector<TaxGroupRow> rows;
  for (const Json& group : ArrayMember(answer, "allTaxRates", "the status answer")) {
    const Json& categories = ArrayMember(group, "taxCategories", "a tax group");
    for (const Json& category : categories) {
      const Json& rates = ArrayMember(category, "taxRates", "a tax category");
      for (const Json& rate : rates) {
        if (!rate.is_object()) InvalidAnswer("a tax rate is not an object");
        TaxGroupRow row;
        row.groupId = IntegerMember(group, "groupId");
        row.label = TextMember(rate, "label");
        row.rate = TextMember(rate, "rate");
        row.categoryType = std::to_string(CategoryTypeOf(category));
        row.name = TextMember(category, "name");
        row.orderId = IntegerMember(category, "orderId");
        row.validFrom = TextMember(group, "validFrom");
        row.labelCyr = TaxLabelLettersToCodes(row.label);
        rows.push_back(std::move(row));
      }
    }
  }
  return rows;
}

std::string TodayLimit(const platform::Clock& clock) {
  const platform::LocalDateTime now = clock.LocalNow();
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT23:59:59", now.year, now.month, now.day);
  return text;
}

}  // namespace

int TaxCategoryTypeNumber(std::string_view text) {
  if (text == "TaxOnNet") return 0;
  if (text == "TaxOnTotal") return 1;
  if (text == "AmountPerQuantity") return 2;
  return -1;
}

TaxGroups::TaxGroups(const core::WorkingState& workingState, TFormHTTP& http, db::Database& database,
                     const platform::Clock& clock)
    : m_workingState(workingState), m_http(http), m_database(database), m_clock(clock) {}

void TaxGroups::LoadTaxGroups() {
  m_http.CallWorking(kOpStatus, "", "");
  if (m_http.ResponseCode != 200) {
    throw SdcError(m_http.ResponseCode < 1 ? kConnectionErrorText + m_http.ErrorText : m_http.ResponseBody);
  }
  const Json answer = ParseProcessorJson(m_http.ResponseBody);
  if (answer.is_discarded()) InvalidAnswer("not JSON");
  const std::vector<TaxGroupRow> rows = ReadRows(answer);

  if (m_workingState.WorkIsLpfr) {
    // A local processor's serial number is its MRC; an answer without one clears the stored value.
    std::string mrc;
    const auto found = answer.find("deviceSerialNumber");
    if (found != answer.end() && found->is_string()) mrc = found->get<std::string>();
    if (db::ReadSetting(m_database, kSdcMrcKey) != mrc) db::WriteSetting(m_database, kSdcMrcKey, mrc);
  }

  m_database.Execute("delete from tax_groups");
  for (const TaxGroupRow& row : rows) {
    try {
      m_database.Execute(kInsertTaxGroup,
                         {db::SqlValue(row.groupId), db::SqlValue(row.label), db::SqlValue(row.rate),
                          db::SqlValue(row.categoryType), db::SqlValue(row.name), db::SqlValue(row.orderId),
                          db::SqlValue(row.validFrom), db::SqlValue(row.labelCyr)});
    } catch (const db::DbError&) {
      // A rate the table cannot hold (a label or name too long, a rate out of range) is left out.
    }
  }
  LoadCurrentTaxLabels();
}

void TaxGroups::LoadCurrentTaxLabels() {
  m_currentTaxLabels.clear();
  const std::string limit = TodayLimit(m_clock);
  std::string chosen;
  for (const db::Row& row : m_database.Query("select valid_from from tax_groups group by 1 order by 1 desc")) {
    const std::string validFrom = row[0].AsString();
    if (validFrom < limit) {
      chosen = validFrom;
      break;
    }
  }
  if (chosen.empty()) return;
  for (const db::Row& row :
       m_database.Query("select label from tax_groups where valid_from=? order by label_cyr", {db::SqlValue(chosen)})) {
    m_currentTaxLabels.push_back(row[0].AsString());
  }
}

}  // namespace telvano::sdc
