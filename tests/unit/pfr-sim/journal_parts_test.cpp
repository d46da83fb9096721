// Receipt layout in characters, and the processor's clock texts.
#include <gtest/gtest.h>

#include <chrono>

#include "pfr-sim/sim_time.h"
#include "pfr-sim/text_layout.h"

namespace telvano::pfrsim {
namespace {

using namespace std::chrono;

TEST(PfrSimLayout, CyrillicCountsAsOneColumn) {
  EXPECT_EQ(CharacterCount("Касир:"), 6u);
  EXPECT_EQ(LabelValueLine("Касир:", "123456789"), "Касир:                         123456789");
  EXPECT_EQ(LabelValueLine("ПФР број рачуна:", "YJLQTEQR-YJLQTEQR-11389"), "ПФР број рачуна: YJLQTEQR-YJLQTEQR-11389");
  // Too long for 40 columns: still one blank between label and value.
  EXPECT_EQ(LabelValueLine("ПФР број рачуна:", "YJLQTEQR-YJLQTEQR-1138900"), "ПФР број рачуна: YJLQTEQR-YJLQTEQR-1138900");
  EXPECT_EQ(Centred("ПРОМЕТ ПРОДАЈА", '-'), "-------------ПРОМЕТ ПРОДАЈА-------------");
  EXPECT_EQ(Centred("ПРЕДРАЧУН ПРОДАЈА", '-'), "-----------ПРЕДРАЧУН ПРОДАЈА------------");
  const auto pieces = SplitIntoColumns(std::string(41, 'x') + "ђ", 40);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[1], "xђ");
  EXPECT_EQ(PadLeft("ђ", 3), "  ђ");
}

TEST(PfrSimClock, CentralEuropeanTimeWithSummerTime) {
  const SimTime time;
  const auto summer = sys_days(2023y / June / 6) + 11h + 21min + 15s + microseconds(504282);
  EXPECT_EQ(time.IsoWithOffset(summer), "2023-06-06T13:21:15.504282+02:00");
  EXPECT_EQ(time.ReceiptText(summer), "06.06.2023. 13:21:15");
  const auto winter = sys_days(2020y / December / 8) + 7h + 55min + 23s;
  EXPECT_EQ(time.IsoWithOffset(winter), "2020-12-08T08:55:23+01:00");
  EXPECT_EQ(time.ReceiptText(winter), "08.12.2020. 8:55:23");
  // The switch at 01:00 UTC on the last Sunday of March (2024-03-31) and of October (2024-10-27).
  EXPECT_EQ(time.OffsetMinutes(sys_days(2024y / March / 31) + 59min), 60);
  EXPECT_EQ(time.OffsetMinutes(sys_days(2024y / March / 31) + 1h), 120);
  EXPECT_EQ(time.OffsetMinutes(sys_days(2024y / October / 27) + 59min), 120);
  EXPECT_EQ(time.OffsetMinutes(sys_days(2024y / October / 27) + 1h), 60);
  EXPECT_EQ(SimTime(0).IsoWithOffset(winter), "2020-12-08T07:55:23+00:00");
}

TEST(PfrSimClock, ReadsTheTimesClientsSend) {
  const SimTime time;
  const auto expected = sys_days(2024y / January / 15) + 10h + 30min;
  EXPECT_EQ(time.ParseIso("2024-01-15T10:30:00.000Z"), expected);
  EXPECT_EQ(time.ParseIso("2024-01-15T11:30:00+01:00"), expected);
  EXPECT_EQ(time.ParseIso("2024-01-15T11:30:00"), expected);  // no zone: the processor's local time
  EXPECT_EQ(time.ParseIso("2024-01-15T10:30:00.5Z"), expected + 500ms);
  EXPECT_FALSE(time.ParseIso("15.01.2024 10:30"));
  EXPECT_FALSE(time.ParseIso("2024-02-30T10:30:00Z"));
  EXPECT_FALSE(time.ParseIso("2024-01-15T10:30:00+1"));
  EXPECT_EQ(MillisecondsSinceEpoch(sys_days(2023y / June / 6) + 11h + 21min + 15s + microseconds(504282)),
            1686050475504u);
}

}  // namespace
}  // namespace telvano::pfrsim
