// TaxGroups against a scripted processor and a real embedded database.
#include <gtest/gtest.h>

#include "db/settings.h"
#include "platform/clock.h"
#include "scripted_processor.h"
#include "sdc/tax_groups.h"
#include "support/test_database.h"

namespace telvano::sdc {
namespace {

using telvano::testing::ScriptedProcessor;
using telvano::testing::TestDatabase;
using Labels = std::vector<std::string>;

constexpr const char* kStatus = "/api/v3/status";

std::string Group(const std::string& validFrom, int groupId, const std::string& categories) {
  return R"({"validFrom":")" + validFrom + R"(","groupId":)" + std::to_string(groupId) +
         R"(,"taxCategories":[)" + categories + "]}";
}

std::string Category(const std::string& name, const std::string& categoryType, int orderId,
                     const std::string& rates) {
  return R"({"name":")" + name + R"(","categoryType":)" + categoryType + R"(,"taxRates":[)" + rates +
         R"(],"orderId":)" + std::to_string(orderId) + "}";
}

std::string Rate(const std::string& rate, const std::string& label) {
  return R"({"rate":)" + rate + R"(,"label":")" + label + R"("})";
}

std::string StatusAnswer(const std::string& groups, const std::string& extra = "") {
  return "{" + extra + R"("uid":"YJLQTEQR","allTaxRates":[)" + groups + "]}";
}

class TaxGroupsTest : public ::testing::Test {
 protected:
  TaxGroupsTest()
      : clock(platform::LocalDateTime{2026, 5, 14, 9, 30, 0, 0, 120}),
        http(configuration, working),
        taxGroups(working, http, database.Db(), clock) {
    working.WorkUrl = processor.BaseUrl();
    working.WorkIsLpfr = true;
  }

  std::vector<std::vector<std::string>> StoredRows() {
    std::vector<std::vector<std::string>> rows;
    for (const auto& row : database.Db().Query(
             "select group_id, label, rate, category_type, name, order_id, valid_from, label_cyr from tax_groups")) {
      std::vector<std::string> values;
      for (std::size_t i = 0; i < row.size(); ++i) values.push_back(row[i].IsNull() ? "<null>" : row[i].AsString());
      rows.push_back(values);
    }
    return rows;
  }

  TestDatabase database;
  telvano::testing::TempDir certificates;
  ScriptedProcessor processor;
  platform::ManualClock clock;
  core::Configuration configuration;
  core::WorkingState working;
  TFormHTTP http;
  TaxGroups taxGroups;
};

TEST_F(TaxGroupsTest, OneRowPerRateInAnswerOrderWithEveryColumn) {
  processor.Answer(kStatus, 200,
                   StatusAnswer(Group("2024-01-01T00:00:00", 5,
                                      Category("О-ПДВ", R"("TaxOnNet")", 1, Rate("20.00", "Ђ") + "," + Rate("0", "А")) +
                                          "," + Category("P'BL", R"("AmountPerQuantity")", 3, Rate("0.5", "F")))));
  taxGroups.LoadTaxGroups();
  EXPECT_EQ(StoredRows(), (std::vector<std::vector<std::string>>{
                              {"5", "Ђ", "20.0000", "0", "О-ПДВ", "1", "2024-01-01T00:00:00", "06"},
                              {"5", "А", "0.0000", "0", "О-ПДВ", "1", "2024-01-01T00:00:00", "01"},
                              {"5", "F", "0.5000", "2", "P'BL", "3", "2024-01-01T00:00:00", "F"},
                          }));
}

TEST_F(TaxGroupsTest, FutureGroupIsNotCurrentAndLabelsAreOrderedByCode) {
  processor.Answer(kStatus, 200,
                   StatusAnswer(Group("2024-01-01T00:00:00", 5,
                                      Category("VAT", "0", 1, Rate("10", "Е") + "," + Rate("20", "Ђ") + "," +
                                                                  Rate("0", "А"))) +
                                "," + Group("2099-01-01T00:00:00", 6, Category("VAT", "0", 1, Rate("25", "Б")))));
  taxGroups.LoadTaxGroups();
  EXPECT_EQ(taxGroups.CurrentTaxLabels(), (Labels{"А", "Ђ", "Е"}));
  EXPECT_EQ(StoredRows().size(), 4u);
}

TEST_F(TaxGroupsTest, GroupValidFromTodayAtTenCountsAsValidToday) {
  processor.Answer(kStatus, 200,
                   StatusAnswer(Group("2024-01-01T00:00:00", 5, Category("VAT", "0", 1, Rate("20", "Ђ"))) + "," +
                                Group("2026-05-14T10:00:00", 6, Category("VAT", "0", 1, Rate("22", "Ж"))) + "," +
                                Group("2026-05-15T00:00:00", 7, Category("VAT", "0", 1, Rate("23", "З")))));
  taxGroups.LoadTaxGroups();  // the clock says 09:30 that day
  EXPECT_EQ(taxGroups.CurrentTaxLabels(), Labels{"Ж"});

  clock.Set({2026, 5, 15, 0, 0, 1, 0, 120});
  taxGroups.LoadCurrentTaxLabels();
  EXPECT_EQ(taxGroups.CurrentTaxLabels(), Labels{"З"});

  clock.Set({2023, 12, 31, 23, 0, 0, 0, 60});
  taxGroups.LoadCurrentTaxLabels();
  EXPECT_EQ(taxGroups.CurrentTaxLabels(), Labels{});
}

TEST_F(TaxGroupsTest, CategoryTypeFromNamesAndFromTheProcessorsNumbers) {
  EXPECT_EQ(TaxCategoryTypeNumber("TaxOnNet"), 0);
  EXPECT_EQ(TaxCategoryTypeNumber("TaxOnTotal"), 1);
  EXPECT_EQ(TaxCategoryTypeNumber("AmountPerQuantity"), 2);
  EXPECT_EQ(TaxCategoryTypeNumber("1"), -1);
  EXPECT_EQ(TaxCategoryTypeNumber("taxonnet"), -1);

  processor.Answer(kStatus, 200,
                   StatusAnswer(Group("2024-01-01T00:00:00", 5,
                                      Category("A", "1", 1, Rate("1", "А")) + "," +
                                          Category("B", R"("TaxOnTotal")", 2, Rate("2", "Б")) + "," +
                                          Category("C", R"("1")", 3, Rate("3", "В")) + "," +
                                          Category("D", "7", 4, Rate("4", "Г")) + "," +
                                          Category("E", "2", 5, Rate("5", "Д")))));
  taxGroups.LoadTaxGroups();
  std::vector<std::string> types;
  for (const auto& row : StoredRows()) types.push_back(row[3]);
  EXPECT_EQ(types, (std::vector<std::string>{"1", "1", "-1", "-1", "2"}));
}

TEST_F(TaxGroupsTest, LocalProcessorRefreshesTheMrcAndAVirtualOneLeavesItAlone) {
  db::WriteSetting(database.Db(), "SDC_MRC", "00-1002-OLD");
  const std::string groups = Group("2024-01-01T00:00:00", 5, Category("VAT", "0", 1, Rate("20", "Ђ")));

  working.WorkIsLpfr = false;
  working.WorkUrl = processor.TlsUrl();
  working.WorkSerial = "VPFR0001";
  configuration.SdcCaFile = processor.CaFile();
  configuration.CertificateDir = (certificates.Path() / "Certificate").string();
  processor.WriteClientFiles(configuration.CertificateDir, working.WorkSerial);
  processor.Answer(kStatus, 200, StatusAnswer(groups, R"("deviceSerialNumber":"00-1002-VIRTUAL",)"));
  taxGroups.LoadTaxGroups();
  EXPECT_EQ(db::ReadSetting(database.Db(), "SDC_MRC"), "00-1002-OLD");

  working.WorkIsLpfr = true;
  working.WorkUrl = processor.BaseUrl();
  taxGroups.LoadTaxGroups();
  EXPECT_EQ(db::ReadSetting(database.Db(), "SDC_MRC"), "00-1002-VIRTUAL");

  processor.Answer(kStatus, 200, StatusAnswer(groups));
  taxGroups.LoadTaxGroups();
  EXPECT_EQ(db::ReadSetting(database.Db(), "SDC_MRC"), "");
}

TEST_F(TaxGroupsTest, RateTheTableRefusesIsLeftOutAndTheOthersStay) {
  processor.Answer(kStatus, 200,
                   StatusAnswer(Group("2024-01-01T00:00:00", 5,
                                      Category("VAT", "0", 1, Rate("20", "Ђ") + "," + Rate("10", "ЕЕЕЕЕЕЕЕЕЕЕ") +
                                                                  "," + Rate("0", "А")))));
  taxGroups.LoadTaxGroups();
  EXPECT_EQ(StoredRows().size(), 2u);
  EXPECT_EQ(taxGroups.CurrentTaxLabels(), (Labels{"А", "Ђ"}));
}

TEST_F(TaxGroupsTest, FailedRequestOrUnreadableAnswerChangesNothing) {
  db::WriteSetting(database.Db(), "SDC_MRC", "00-1002-KEEP");
  processor.Answer(kStatus, 200, StatusAnswer(Group("2024-01-01T00:00:00", 5, Category("VAT", "0", 1, Rate("20", "Ђ"))),
                                              R"("deviceSerialNumber":"00-1002-KEEP",)"));
  taxGroups.LoadTaxGroups();
  const auto before = StoredRows();
  ASSERT_EQ(taxGroups.CurrentTaxLabels(), Labels{"Ђ"});

  processor.Answer(kStatus, 500, "busy");
  try {
    taxGroups.LoadTaxGroups();
    ADD_FAILURE() << "no exception";
  } catch (const SdcError& error) {
    EXPECT_STREQ(error.what(), "busy");
  }

  const char* unreadable[] = {
      "not json",
      R"({"deviceSerialNumber":"00-1002-OTHER"})",
      R"({"deviceSerialNumber":"00-1002-OTHER","allTaxRates":{}})",
      R"({"deviceSerialNumber":"00-1002-OTHER","allTaxRates":[{"validFrom":"2025-01-01T00:00:00","groupId":"x5",)"
      R"("taxCategories":[{"name":"VAT","categoryType":0,"orderId":1,"taxRates":[{"rate":20,"label":"А"}]}]}]})",
      R"({"allTaxRates":[{"validFrom":"2025-01-01T00:00:00","groupId":6,"taxCategories":[{"name":"VAT",)"
      R"("categoryType":0,"orderId":1.5,"taxRates":[{"rate":20,"label":"А"}]}]}]})",
      R"({"allTaxRates":[{"validFrom":"2025-01-01T00:00:00","groupId":18446744073709551615,"taxCategories":[)"
      R"({"name":"VAT","categoryType":0,"orderId":1,"taxRates":[{"rate":20,"label":"А"}]}]}]})",
      R"({"allTaxRates":[{"validFrom":"2025-01-01T00:00:00","groupId":6,"taxCategories":[{"name":"VAT"}]}]})",
  };
  for (const char* answer : unreadable) {
    processor.Answer(kStatus, 200, answer);
    try {
      taxGroups.LoadTaxGroups();
      ADD_FAILURE() << "no exception for " << answer;
    } catch (const SdcError& error) {
      EXPECT_EQ(std::string(error.what()).rfind(kInvalidStatusAnswerText, 0), 0u) << error.what();
    }
  }

  working.WorkUrl = "http://127.0.0.1:1";
  EXPECT_THROW(taxGroups.LoadTaxGroups(), SdcError);

  EXPECT_EQ(StoredRows(), before);
  EXPECT_EQ(taxGroups.CurrentTaxLabels(), Labels{"Ђ"});
  EXPECT_EQ(db::ReadSetting(database.Db(), "SDC_MRC"), "00-1002-KEEP");
}

TEST_F(TaxGroupsTest, GroupAndOrderIdsGivenAsDigitTextAreIntegers) {
  processor.Answer(kStatus, 200,
                   R"({"allTaxRates":[{"validFrom":"2021-12-19T23:00:00Z","groupId":"05","taxCategories":[)"
                   R"({"name":"ECAL","categoryType":0,"orderId":"2","taxRates":[{"rate":11.0,"label":"F"}]}]}]})");
  taxGroups.LoadTaxGroups();
  EXPECT_EQ(StoredRows(), (std::vector<std::vector<std::string>>{
                              {"5", "F", "11.0000", "0", "ECAL", "2", "2021-12-19T23:00:00Z", "F"}}));
  EXPECT_EQ(taxGroups.CurrentTaxLabels(), Labels{"F"});
}

}  // namespace
}  // namespace telvano::sdc
