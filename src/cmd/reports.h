#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"

namespace telvano::cmd {

// The totals that the POS asks for with X-REPORT, TAX-REPORT, SALE-REPORT, PAY-REPORT and INV-REPORT, taken
// from the stored fiscal records. The period is a day "yyyy-mm-dd" (exactly 10 characters: rows of that day,
// grouped by day) or any other prefix of sdc_date (a month, a year, or empty for everything: grouped by month).
// The period is always a bound value, so any text (apostrophes included) is only a period that may match nothing.
class Reports {
 public:
  explicit Reports(db::Database& database);

  // True for the five report commands (upper-case names).
  static bool IsReportCommand(std::string_view command);

  // Runs one report; each result row is one list of response fields, the amount last with exactly 2 decimals
  // (4 for TAX-REPORT). Rows keep the database's order, INV-REPORT is ordered by its first five columns.
  // Raises std::invalid_argument for a command that is not a report and db::DbError for a failed query.
  std::vector<std::vector<std::string>> Run(std::string_view command, const std::string& period);

  // The SQL text of a report for a period of the given length (the period itself is its one parameter).
  static std::string QueryText(std::string_view command, std::size_t periodLength);

 private:
  db::Database& m_database;
};

}  // namespace telvano::cmd
