#include "sdc/certificate_end.h"

#include <gtest/gtest.h>

namespace telvano::sdc {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;
using std::chrono::year_month_day;

struct EndCase {
  const char* notAfter;
  const char* warningDays;  // the configured value, "" for the default
  int daysLeft;
  bool announce;
};

class CertificateEndTest : public ::testing::TestWithParam<EndCase> {};

TEST_P(CertificateEndTest, CountsTheDaysLeftAndAnnouncesWithinTheConfiguredDays) {
  const EndCase& c = GetParam();
  core::Configuration configuration;
  configuration.CertWarningDays = c.warningDays;
  const sys_days today{year_month_day{year{2026}, month{12}, day{9}}};
  const auto end = CertificateEndOf(c.notAfter, today, configuration);
  ASSERT_TRUE(end.has_value());
  EXPECT_EQ(end->daysLeft, c.daysLeft);
  EXPECT_EQ(end->announce, c.announce);
}

INSTANTIATE_TEST_SUITE_P(Ends, CertificateEndTest,
                         ::testing::Values(EndCase{"Jan  8 10:00:00 2027 GMT", "", 30, true},
                                           EndCase{"Jan  9 10:00:00 2027 GMT", "", 31, false},
                                           EndCase{"Jan  9 10:00:00 2027 GMT", "31", 31, true},
                                           EndCase{"Dec  9 23:59:59 2026 GMT", "", 0, true},
                                           EndCase{"Dec  1 00:00:00 2026 GMT", "7", -8, true},
                                           EndCase{"Mar  1 00:00:00 2028 GMT", "365", 448, false},
                                           EndCase{"Jan  8 10:00:00 2027 GMT", "1000", 30, true}));

TEST(CertificateEnd, NothingForATextThatIsNoDate) {
  const core::Configuration configuration;
  const sys_days today{year_month_day{year{2026}, month{12}, day{9}}};
  for (const char* text : {"", "soon", "Foo 31 10:00:00 2027 GMT", "Feb 30 10:00:00 2027 GMT"})
    EXPECT_FALSE(CertificateEndOf(text, today, configuration).has_value()) << text;
}

TEST(CertificateEnd, WarningTextsCountTheDaysInBothLanguages) {
  const struct {
    int days;
    const char* text;
  } cases[] = {
      {-3, "Radni sertifikat je istekao! / The working certificate has ended!"},
      {0, "Radni sertifikat ističe danas! / The working certificate ends today!"},
      {1, "Radni sertifikat ističe za 1 dan / The working certificate ends in 1 day"},
      {11, "Radni sertifikat ističe za 11 dana / The working certificate ends in 11 days"},
      {21, "Radni sertifikat ističe za 21 dan / The working certificate ends in 21 days"},
  };
  for (const auto& c : cases) EXPECT_EQ(CertificateEndWarningText(c.days), c.text) << c.days;
}

}  // namespace
}  // namespace telvano::sdc
