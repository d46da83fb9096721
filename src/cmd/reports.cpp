#include "cmd/reports.h"

#include <array>
#include <stdexcept>

namespace telvano::cmd {

namespace {

// A day is written yyyy-mm-dd; every other length is a prefix of sdc_date.
constexpr std::size_t kDayLength = 10;

struct ReportDefinition {
  std::string_view command;
  std::string_view columnsAndTable;  // after the period column, up to and including "where "
  std::string_view grouping;
  int decimals;
};

constexpr std::array<ReportDefinition, 4> kGroupedReports{{
    {"X-REPORT",
     ",       requested_by,signed_by,it_type,cast(sum(total_amount) as numeric(15,2)) sum_a  from inv_response where ",
     "group by 1,2,3,4", 2},
    {"TAX-REPORT",
     ",       requested_by,signed_by,it_type,label,label_cyr,cast(sum(amount) as numeric(15,4)) sum_a  from "
     "inv_tax_items where ",
     "group by 1,2,3,4,5,6", 4},
    {"SALE-REPORT",
     ",       requested_by,signed_by,it_type,labels,labels_cyr,cast(sum(total_amount) as numeric(15,2)) sum_a  from "
     "inv_sale_items where ",
     "group by 1,2,3,4,5,6", 2},
    {"PAY-REPORT",
     ",       requested_by,signed_by,it_type,payment_type,cast(sum(amount) as numeric(15,2)) sum_a  from "
     "inv_pay_items where ",
     "group by 1,2,3,4,5", 2},
}};

constexpr std::string_view kInvoiceReport = "INV-REPORT";
constexpr std::string_view kInvoiceReportHead =
    "select sdc_date,requested_by,signed_by,transaction_type_counter,total_counter,it_type,total_amount  from "
    "inv_response where ";
constexpr int kInvoiceReportDecimals = 2;

// The period is bound as a text of its own length (not of sdc_date's), so a period longer than any stored
// date is simply one that matches nothing. Longer than this it cannot be a date or a prefix of one at all.
constexpr std::size_t kMaxPeriodBytes = 8000;
constexpr std::string_view kPeriodParameter = "cast(? as varchar(8000))";

// A day compares whole; any other period is a prefix. STARTING WITH takes the prefix literally, so "_" or "%"
// from the POS are plain characters and not patterns.
std::string Condition(std::size_t periodLength) {
  return (periodLength == kDayLength ? "sdc_date=" : "sdc_date starting with ") + std::string(kPeriodParameter) +
         " ";
}

std::string PeriodColumn(std::size_t periodLength) {
  return periodLength == kDayLength ? "sdc_date dayMonth" : "substring(sdc_date from 1 for 7) dayMonth";
}

const ReportDefinition* FindGrouped(std::string_view command) {
  for (const auto& report : kGroupedReports) {
    if (report.command == command) return &report;
  }
  return nullptr;
}

int DecimalsOf(std::string_view command) {
  if (const auto* report = FindGrouped(command)) return report->decimals;
  return kInvoiceReportDecimals;
}

// The amount with exactly `decimals` places, computed from the exact value; a null sum reads as zero.
std::string FormatAmount(const db::Field& field, int decimals) {
  const db::Decimal value = field.IsNull() ? db::Decimal{} : field.AsDecimal();
  return value.ToFixed(decimals);
}

}  // namespace

Reports::Reports(db::Database& database) : m_database(database) {}

bool Reports::IsReportCommand(std::string_view command) {
  return FindGrouped(command) != nullptr || command == kInvoiceReport;
}

std::string Reports::QueryText(std::string_view command, std::size_t periodLength) {
  if (command == kInvoiceReport) return std::string(kInvoiceReportHead) + Condition(periodLength) + "order by 1,2,3,4,5";
  const auto* report = FindGrouped(command);
  if (report == nullptr) throw std::invalid_argument("not a report command: " + std::string(command));
  return "select " + PeriodColumn(periodLength) + std::string(report->columnsAndTable) + Condition(periodLength) +
         std::string(report->grouping);
}

std::vector<std::vector<std::string>> Reports::Run(std::string_view command, const std::string& period) {
  const std::string sql = QueryText(command, period.size());
  const int decimals = DecimalsOf(command);
  std::vector<std::vector<std::string>> lines;
  if (period.size() > kMaxPeriodBytes) return lines;
  for (const db::Row& row : m_database.Query(sql, {db::Param{period}})) {
    std::vector<std::string> fields;
    fields.reserve(row.size());
    for (std::size_t i = 0; i + 1 < row.size(); ++i) fields.push_back(row[i].AsString());
    fields.push_back(FormatAmount(row[row.size() - 1], decimals));
    lines.push_back(std::move(fields));
  }
  return lines;
}

}  // namespace telvano::cmd
