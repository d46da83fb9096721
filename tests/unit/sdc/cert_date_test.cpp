// Certificate dates as openssl prints them.
#include <gtest/gtest.h>

#include "sdc/tform_common.h"

namespace telvano::sdc {
namespace {

TEST(ParseCertDate, ReadsMonthDayAndYearOfTheOpensslLayout) {
  const std::pair<const char*, const char*> cases[] = {
      {"Dec 31 23:59:59 2030 GMT", "2030-12-31"},
      {"Jan  5 08:00:00 2031 GMT", "2031-01-05"},  // a one-digit day is padded with a blank
      {"Feb 29 00:00:00 2024 GMT", "2024-02-29"},
      {"Jun 10 12:00:00 2025", "2025-06-10"},  // only the first 20 characters count
  };
  for (const auto& [text, date] : cases) {
    EXPECT_EQ(TFormCommon::FormatDate(TFormCommon::ParseCertDate(text)), date) << text;
  }
}

TEST(ParseCertDate, RaisesForATextThatGivesNoDate) {
  for (const char* text : {"dec 31 23:59:59 2030 GMT", "Xyz 31 23:59:59 2030 GMT", "Feb 30 00:00:00 2023 GMT",
                           "Dec 3x 23:59:59 2030 GMT", "2030-12-31", ""}) {
    EXPECT_THROW(TFormCommon::ParseCertDate(text), SdcError) << text;
  }
}

}  // namespace
}  // namespace telvano::sdc
