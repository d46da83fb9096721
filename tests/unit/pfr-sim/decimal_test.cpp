// Exact amounts: the processor's arithmetic must not pick up binary floating-point errors.
#include "pfr-sim/decimal.h"

#include <gtest/gtest.h>

#include "pfr-sim/tax_calculator.h"

namespace telvano::pfrsim {
namespace {

Decimal D(const std::string& text) { return Decimal::Parse(text).value(); }

TEST(PfrSimDecimal, ReadsDecimalTextAndShortestDoubles) {
  EXPECT_EQ(D("68.46").Micros(), 68'460'000);
  EXPECT_EQ(D("-0.5").Micros(), -500'000);
  EXPECT_EQ(D("1e-3").Micros(), 1'000);
  EXPECT_EQ(D("2.5E+2").Micros(), 250'000'000);
  EXPECT_EQ(D("0.1000000").Micros(), 100'000);  // trailing zeros beyond six digits are harmless
  EXPECT_FALSE(Decimal::Parse("0.0000001"));
  EXPECT_FALSE(Decimal::Parse("1,5"));
  EXPECT_FALSE(Decimal::Parse(""));
  EXPECT_FALSE(Decimal::Parse("99999999999999"));
  EXPECT_EQ(Decimal::FromDouble(34.23)->Micros(), 34'230'000);
  EXPECT_FALSE(Decimal::FromDouble(0.1 + 0.2));  // 0.30000000000000004: more digits than money has
}

TEST(PfrSimDecimal, RoundsHalfAwayFromZeroAndMultipliesExactly) {
  EXPECT_EQ(D("2.345").Rounded(2), D("2.35"));
  EXPECT_EQ(D("-2.345").Rounded(2), D("-2.35"));
  EXPECT_EQ(MultiplyRounded(D("34.23"), D("2"), 2), D("68.46"));
  EXPECT_EQ(MultiplyRounded(D("1.005"), D("1"), 2), D("1.01"));  // a double would say 1.00
  EXPECT_EQ(MultiplyRounded(D("0.333"), D("3"), 2), D("1"));
  EXPECT_EQ(D("68.46").ScaledTo(4), 684600);
  EXPECT_EQ(D("68.46").ToDouble(), 68.46);
}

TEST(PfrSimDecimal, ReceiptNotation) {
  EXPECT_EQ(D("1234567.891").ToReceiptText(), "1.234.567,89");
  EXPECT_EQ(D("-730").ToReceiptText(), "-730,00");
  EXPECT_EQ(D("0.005").ToReceiptText(), "0,01");
  EXPECT_EQ(D("5.6527").ToReceiptText(), "5,65");
  EXPECT_EQ(D("2").ToReceiptQuantity(), "2");
  EXPECT_EQ(D("1.250").ToReceiptQuantity(), "1,25");
  EXPECT_EQ(D("1234.5").ToReceiptQuantity(), "1.234,5");
}

TaxGroup GroupOf(const std::vector<TaxCategory>& categories) {
  TaxGroup group;
  group.groupId = 1;
  group.taxCategories = categories;
  return group;
}

InvoiceItem Item(const std::string& total, std::vector<std::string> labels, const std::string& quantity = "1") {
  InvoiceItem item;
  item.quantity = D(quantity);
  item.totalAmount = D(total);
  item.unitPrice = D(total);
  item.labels = std::move(labels);
  return item;
}

TEST(PfrSimTaxes, PerLabelOnTheGrossOfItsItems) {
  const TaxGroup group = GroupOf({{"VAT", kTaxOnNet, 1, {{"A", D("9")}, {"B", D("0")}}}, {"ECAL", kTaxOnNet, 2, {{"F", D("11")}}}});
  const auto taxes = ComputeTaxes({Item("730", {"F"}), Item("34.23", {"A"}), Item("34.23", {"A"}), Item("5", {"B"})}, group);
  ASSERT_EQ(taxes.size(), 3u);
  EXPECT_EQ(taxes[0].label, "A");  // the group's order, not the items'
  EXPECT_EQ(taxes[0].amount, D("5.6527"));
  EXPECT_EQ(taxes[1].label, "B");
  EXPECT_EQ(taxes[1].amount, D("0"));
  EXPECT_EQ(taxes[2].amount, D("72.3423"));
  EXPECT_EQ(taxes[2].categoryName, "ECAL");
}

TEST(PfrSimTaxes, TaxOnTotalAmountPerQuantityAndTwoLabelsOnOneItem) {
  const TaxGroup group = GroupOf({{"VAT", kTaxOnNet, 1, {{"Ђ", D("20")}, {"Е", D("10")}}},
                                  {"TOTL", kTaxOnTotal, 2, {{"T", D("2")}}},
                                  {"PBL", kAmountPerQuantity, 3, {{"P", D("0.5")}}}});
  auto taxes = ComputeTaxes({Item("100", {"T"}), Item("10", {"P"}, "3")}, group);
  ASSERT_EQ(taxes.size(), 2u);
  EXPECT_EQ(taxes[0].amount, D("2"));    // 2 % of 100
  EXPECT_EQ(taxes[1].amount, D("1.5"));  // 0.5 for each of 3
  // Ђ and Е on one item of 130: net 100, 20 and 10 of tax.
  taxes = ComputeTaxes({Item("130", {"Ђ", "Е"})}, group);
  ASSERT_EQ(taxes.size(), 2u);
  EXPECT_EQ(taxes[0].amount, D("20"));
  EXPECT_EQ(taxes[1].amount, D("10"));
}

}  // namespace
}  // namespace telvano::pfrsim
