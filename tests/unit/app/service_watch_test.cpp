#include "app/service_watch.h"

#include <gtest/gtest.h>

#include "core/service_report.h"
#include "support/temp_dir.h"

namespace telvano::app {
namespace {

using namespace std::chrono_literals;
using platform::Priority;

struct EndLineCase {
  const char* notAfter;
  const char* line;  // "" for none
  Priority priority;
};

void PrintTo(const EndLineCase& c, std::ostream* out) { *out << '"' << c.notAfter << '"'; }

class CertificateEndLineTest : public ::testing::TestWithParam<EndLineCase> {};

TEST_P(CertificateEndLineTest, SaysHowSoonTheWorkingCertificateEnds) {
  core::WorkingState state;
  state.WorkSerial = "AB12CD34";
  state.WorkNotAfter = GetParam().notAfter;
  core::Configuration configuration;  // CertWarningDays: 30
  Priority priority = Priority::Information;
  const std::chrono::sys_days today{std::chrono::year_month_day{std::chrono::year{2024}, std::chrono::month{3},
                                                                std::chrono::day{1}}};
  EXPECT_EQ(CertificateEndLine(state, configuration, today, priority), GetParam().line);
  if (*GetParam().line != '\0') EXPECT_EQ(priority, GetParam().priority);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CertificateEndLineTest,
    ::testing::Values(
        EndLineCase{"Mar 31 10:00:00 2024 GMT",
                    "Radni sertifikat AB12CD34 ističe 2024-03-31, za 30 dana / The working certificate AB12CD34 ends "
                    "on 2024-03-31, in 30 days",
                    Priority::Warning},
        EndLineCase{"Apr  1 10:00:00 2024 GMT", "", Priority::Warning},  // 31 days: not yet
        EndLineCase{"Feb 29 23:59:59 2024 GMT",
                    "Radni sertifikat AB12CD34 je istekao 2024-02-29 / The working certificate AB12CD34 ended on "
                    "2024-02-29",
                    Priority::Error},
        EndLineCase{"2030-01-01", "", Priority::Warning}));

TEST(ServiceWatch, TheUnattendedProgramSaysOnceADayThatItsCertificateEndsAndReportsItself) {
  testing::TempDir applData;
  core::Configuration configuration;
  configuration.ApplDataDir = applData.Path().string();
  configuration.ProgramVersion = "r10.0.023";
  core::WorkingState state;
  state.Unattended = true;
  state.WorkSerial = "AB12CD34";
  state.WorkIsLpfr = false;
  state.WorkEnv = "PROD";
  state.WorkNotAfter = "Mar 11 12:00:00 2024 GMT";
  platform::ManualClock clock;  // 2024-03-01 08:15:02 +01:00
  platform::ServiceNotifier notifier;
  std::vector<std::string> lines;
  ServiceWatch watch(configuration, state, clock, notifier,
                     [&lines](const std::string& text, Priority) { lines.push_back(text); });

  watch.Tick(nullptr, "");  // before the start: nothing but the ping
  EXPECT_TRUE(lines.empty());
  watch.Started(nullptr, sdc::TransportTimeouts{});
  for (int tick = 0; tick < 100; ++tick) {
    clock.Advance(1s);
    watch.Tick(nullptr, "lock time-out");
  }
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("in 10 days"), std::string::npos) << lines[0];
  clock.Advance(24h);
  watch.Tick(nullptr, "lock time-out");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("in 9 days"), std::string::npos) << lines[1];

  // The report the monitoring check reads, as the last look saw it.
  const auto report = core::ReadServiceReport(configuration.ApplDataDir);
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->written, clock.Now());
  EXPECT_EQ(report->serial, "AB12CD34");
  EXPECT_FALSE(report->lpfr);
  EXPECT_FALSE(report->databaseReachable);
  EXPECT_EQ(report->databaseProblem, "lock time-out");
  EXPECT_EQ(core::ServiceStatusLine(*report),
            "AB12CD34 VPFR PROD; database not reachable; invoices open 0, held 0; last signed never");
  for (const char* text : {"", "[]", "{\"serial\":\"x\"}"}) EXPECT_FALSE(core::ParseServiceReport(text)) << text;
}

}  // namespace
}  // namespace telvano::app
