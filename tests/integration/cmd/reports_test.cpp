// The five reports against a real database holding the fiscal rows of six invoices; every expected total
// below is summed by hand from the data set.
#include "cmd/reports.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fiscal_records.h"
#include "support/test_database.h"

namespace telvano::cmd {
namespace {

using testing::FiscalInvoice;
using Lines = std::vector<std::vector<std::string>>;

class ReportsTest : public ::testing::Test {
 protected:
  // The reports only read, so one database serves the whole suite.
  static void SetUpTestSuite() {
    s_database = new telvano::testing::TestDatabase();
    auto& db = s_database->Db();
    testing::InsertFiscalInvoice(db, {"a", "2024-05-06", "NS", "REQ1", "SIG1", 1, 1, "120.50",
                                      {{"Ђ", "06", "20.0833"}, {"Е", "07", "0.9091"}},
                                      {{"Ђ", "06", "110.50"}, {"Е", "07", "10.00"}},
                                      {{"Cash", "100.00"}, {"Card", "20.50"}}});
    testing::InsertFiscalInvoice(db, {"b", "2024-05-06", "NS", "REQ1", "SIG1", 2, 2, "1234.5",
                                      {{"Ђ", "06", "205.75"}}, {{"Ђ", "06", "1234.5"}}, {{"Card", "1234.5"}}});
    testing::InsertFiscalInvoice(db, {"c", "2024-05-06", "NR", "REQ1", "SIG1", 1, 3, "20",
                                      {{"Ђ", "06", "3.3333"}}, {{"Ђ", "06", "20"}}, {{"Cash", "20"}}});
    testing::InsertFiscalInvoice(db, {"d", "2024-05-07", "NS", "REQ1", "SIG1", 3, 4, "50",
                                      {{"Е", "07", "4.5455"}}, {{"Е", "07", "50"}}, {{"Cash", "50"}}});
    testing::InsertFiscalInvoice(db, {"e", "2024-06-01", "NS", "REQ2", "SIG1", 1, 5, "7.25",
                                      {{"Ђ", "06", "1.2083"}}, {{"Ђ", "06", "7.25"}}, {{"Cash", "7.25"}}});
    testing::InsertFiscalInvoice(db, {"f", "2023-12-31", "NS", "REQ1", "SIG1", 9, 9, "1",
                                      {{"Ђ", "06", "0.1667"}}, {{"Ђ", "06", "1"}}, {{"Cash", "1"}}});
  }

  // Grouping reports come in the database's order; compare them as sets.
  Lines Sorted(const std::string& command, const std::string& period) {
    Lines lines = m_reports.Run(command, period);
    std::sort(lines.begin(), lines.end());
    return lines;
  }

  static void TearDownTestSuite() {
    delete s_database;
    s_database = nullptr;
  }

  static telvano::testing::TestDatabase* s_database;
  Reports m_reports{s_database->Db()};
};

telvano::testing::TestDatabase* ReportsTest::s_database = nullptr;

TEST_F(ReportsTest, XReportByDayMonthYearAndEverything) {
  EXPECT_EQ(Sorted("X-REPORT", "2024-05-06"), (Lines{{"2024-05-06", "REQ1", "SIG1", "NR", "20.00"},
                                                     {"2024-05-06", "REQ1", "SIG1", "NS", "1355.00"}}));
  EXPECT_EQ(Sorted("X-REPORT", "2024-05"), (Lines{{"2024-05", "REQ1", "SIG1", "NR", "20.00"},
                                                  {"2024-05", "REQ1", "SIG1", "NS", "1405.00"}}));
  EXPECT_EQ(Sorted("X-REPORT", "2024"), (Lines{{"2024-05", "REQ1", "SIG1", "NR", "20.00"},
                                               {"2024-05", "REQ1", "SIG1", "NS", "1405.00"},
                                               {"2024-06", "REQ2", "SIG1", "NS", "7.25"}}));
  EXPECT_EQ(Sorted("X-REPORT", ""), (Lines{{"2023-12", "REQ1", "SIG1", "NS", "1.00"},
                                           {"2024-05", "REQ1", "SIG1", "NR", "20.00"},
                                           {"2024-05", "REQ1", "SIG1", "NS", "1405.00"},
                                           {"2024-06", "REQ2", "SIG1", "NS", "7.25"}}));
}

TEST_F(ReportsTest, TaxReportHasFourDecimalsPerLabel) {
  EXPECT_EQ(Sorted("TAX-REPORT", "2024-05-06"), (Lines{{"2024-05-06", "REQ1", "SIG1", "NR", "Ђ", "06", "3.3333"},
                                                       {"2024-05-06", "REQ1", "SIG1", "NS", "Ђ", "06", "225.8333"},
                                                       {"2024-05-06", "REQ1", "SIG1", "NS", "Е", "07", "0.9091"}}));
  EXPECT_EQ(Sorted("TAX-REPORT", "2024-05"), (Lines{{"2024-05", "REQ1", "SIG1", "NR", "Ђ", "06", "3.3333"},
                                                    {"2024-05", "REQ1", "SIG1", "NS", "Ђ", "06", "225.8333"},
                                                    {"2024-05", "REQ1", "SIG1", "NS", "Е", "07", "5.4546"}}));
  EXPECT_EQ(Sorted("TAX-REPORT", "2023"), (Lines{{"2023-12", "REQ1", "SIG1", "NS", "Ђ", "06", "0.1667"}}));
  EXPECT_EQ(Sorted("TAX-REPORT", "").size(), 5u);
}

TEST_F(ReportsTest, SaleReportPerLabels) {
  EXPECT_EQ(Sorted("SALE-REPORT", "2024-05-06"), (Lines{{"2024-05-06", "REQ1", "SIG1", "NR", "Ђ", "06", "20.00"},
                                                        {"2024-05-06", "REQ1", "SIG1", "NS", "Ђ", "06", "1345.00"},
                                                        {"2024-05-06", "REQ1", "SIG1", "NS", "Е", "07", "10.00"}}));
  EXPECT_EQ(Sorted("SALE-REPORT", "2024-05"), (Lines{{"2024-05", "REQ1", "SIG1", "NR", "Ђ", "06", "20.00"},
                                                     {"2024-05", "REQ1", "SIG1", "NS", "Ђ", "06", "1345.00"},
                                                     {"2024-05", "REQ1", "SIG1", "NS", "Е", "07", "60.00"}}));
  EXPECT_EQ(Sorted("SALE-REPORT", "2024-06"), (Lines{{"2024-06", "REQ2", "SIG1", "NS", "Ђ", "06", "7.25"}}));
  EXPECT_EQ(Sorted("SALE-REPORT", "").size(), 5u);
}

TEST_F(ReportsTest, PayReportPerPaymentType) {
  EXPECT_EQ(Sorted("PAY-REPORT", "2024-05-06"), (Lines{{"2024-05-06", "REQ1", "SIG1", "NR", "Cash", "20.00"},
                                                       {"2024-05-06", "REQ1", "SIG1", "NS", "Card", "1255.00"},
                                                       {"2024-05-06", "REQ1", "SIG1", "NS", "Cash", "100.00"}}));
  EXPECT_EQ(Sorted("PAY-REPORT", "2024-05"), (Lines{{"2024-05", "REQ1", "SIG1", "NR", "Cash", "20.00"},
                                                    {"2024-05", "REQ1", "SIG1", "NS", "Card", "1255.00"},
                                                    {"2024-05", "REQ1", "SIG1", "NS", "Cash", "150.00"}}));
  EXPECT_EQ(Sorted("PAY-REPORT", "2024"), (Lines{{"2024-05", "REQ1", "SIG1", "NR", "Cash", "20.00"},
                                                 {"2024-05", "REQ1", "SIG1", "NS", "Card", "1255.00"},
                                                 {"2024-05", "REQ1", "SIG1", "NS", "Cash", "150.00"},
                                                 {"2024-06", "REQ2", "SIG1", "NS", "Cash", "7.25"}}));
}

TEST_F(ReportsTest, InvoiceReportListsSingleInvoicesInItsOwnOrder) {
  // Ordered by date, requested_by, signed_by, transaction_type_counter, total_counter: not by insertion.
  EXPECT_EQ(m_reports.Run("INV-REPORT", "2024-05-06"), (Lines{{"2024-05-06", "REQ1", "SIG1", "1", "1", "NS", "120.50"},
                                                             {"2024-05-06", "REQ1", "SIG1", "1", "3", "NR", "20.00"},
                                                             {"2024-05-06", "REQ1", "SIG1", "2", "2", "NS", "1234.50"}}));
  const Lines month = m_reports.Run("INV-REPORT", "2024-05");
  ASSERT_EQ(month.size(), 4u);
  EXPECT_EQ(month.back(), (std::vector<std::string>{"2024-05-07", "REQ1", "SIG1", "3", "4", "NS", "50.00"}));
  EXPECT_EQ(m_reports.Run("INV-REPORT", "2024").size(), 5u);
  const Lines all = m_reports.Run("INV-REPORT", "");
  ASSERT_EQ(all.size(), 6u);
  EXPECT_EQ(all.front(), (std::vector<std::string>{"2023-12-31", "REQ1", "SIG1", "9", "9", "NS", "1.00"}));
  EXPECT_EQ(all.back(), (std::vector<std::string>{"2024-06-01", "REQ2", "SIG1", "1", "5", "NS", "7.25"}));
}

TEST_F(ReportsTest, HostilePeriodsAreOnlyPeriodsThatMatchNothing) {
  for (const char* command : {"X-REPORT", "TAX-REPORT", "SALE-REPORT", "PAY-REPORT", "INV-REPORT"}) {
    for (const std::string& period : std::vector<std::string>{"2024-05'", "2024-05-06' OR '1'='1", "' OR 1=1 --", "%", "____-05-06",
                                      "2024-05-06 and a good deal more text than any date holds",
                                      std::string(9000, '2')}) {
      EXPECT_TRUE(m_reports.Run(command, period).empty()) << command << " " << period;
    }
  }
  EXPECT_TRUE(m_reports.Run("X-REPORT", "2024-05-08").empty());  // a day without records answers nothing
}

TEST_F(ReportsTest, QueryTextsKeepThePeriodOutOfTheSql) {
  EXPECT_EQ(Reports::QueryText("X-REPORT", 10),
            "select sdc_date dayMonth,       requested_by,signed_by,it_type,cast(sum(total_amount) as "
            "numeric(15,2)) sum_a  from inv_response where sdc_date=cast(? as varchar(8000)) group by 1,2,3,4");
  EXPECT_EQ(Reports::QueryText("INV-REPORT", 7),
            "select sdc_date,requested_by,signed_by,transaction_type_counter,total_counter,it_type,total_amount  "
            "from inv_response where sdc_date starting with cast(? as varchar(8000)) order by 1,2,3,4,5");
  EXPECT_TRUE(Reports::IsReportCommand("PAY-REPORT"));
  EXPECT_FALSE(Reports::IsReportCommand("pay-report"));
  EXPECT_FALSE(Reports::IsReportCommand("Z-REPORT"));
  EXPECT_THROW(Reports::QueryText("Z-REPORT", 7), std::invalid_argument);
}

}  // namespace
}  // namespace telvano::cmd
