#include "app/service_watch.h"

#include <gtest/gtest.h>

#include "core/service_report.h"
#include "invoice/open_invoices.h"
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
        EndLineCase{"Apr  1 10:00:00 2024 GMT", "", Priority::Warning},
        EndLineCase{"Mar  1 23:59:59 2024 GMT",
                    "Radni sertifikat AB12CD34 ističe danas, 2024-03-01 / The working certificate AB12CD34 ends "
                    "today, 2024-03-01",
                    Priority::Warning},
        EndLineCase{"Feb 29 23:59:59 2024 GMT",
                    "Radni sertifikat AB12CD34 je istekao 2024-02-29 / The working certificate AB12CD34 ended on "
                    "2024-02-29",
                    Priority::Error},
        EndLineCase{"", "", Priority::Warning}, EndLineCase{"2030-01-01", "", Priority::Warning}));

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
}

TEST(ServiceReport, ReadsBackWhatWasWrittenAndNothingFromAnythingElse) {
  core::ServiceReport report;
  report.written = std::chrono::system_clock::time_point(1709277302123ms);
  report.serial = "PFR01";
  report.openInvoices = {{"INV_NS_7.csv", "sent, outcome unknown", "no answer", report.written - 90s, true},
                         {"INV_NS_8.csv", "prepared", "", report.written, false}};
  report.lastSigned = "2024-03-01T08:14:59.1234567+01:00";
  const auto back = core::ParseServiceReport(core::ServiceReportJson(report));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->written, report.written);
  ASSERT_EQ(back->openInvoices.size(), 2u);
  EXPECT_EQ(back->openInvoices[0].since, report.written - 90s);
  EXPECT_EQ(back->HeldCount(), 1u);
  EXPECT_EQ(core::ServiceStatusLine(*back),
            "PFR01 LPFR ; invoices open 2, held 1; last signed 2024-03-01T08:14:59.1234567+01:00");
  for (const char* text : {"", "[]", "{\"serial\":\"x\"}", "not json"}) {
    EXPECT_FALSE(core::ParseServiceReport(text).has_value()) << text;
  }
}

TEST(ProcessorTime, ReadsTheOffsetsProcessorsWrite) {
  const auto utc = [](int hour, int minute, int second) {
    return std::chrono::sys_days{std::chrono::year_month_day{std::chrono::year{2024}, std::chrono::month{3},
                                                             std::chrono::day{1}}} +
           std::chrono::hours(hour) + std::chrono::minutes(minute) + std::chrono::seconds(second);
  };
  EXPECT_EQ(invoice::ParseProcessorTime("2024-03-01T10:15:02.7826658+02:00"), utc(8, 15, 2));
  EXPECT_EQ(invoice::ParseProcessorTime("2024-03-01T08:15:02Z"), utc(8, 15, 2));
  EXPECT_EQ(invoice::ParseProcessorTime("2024-03-01T05:45:02-02:30"), utc(8, 15, 2));
  for (const char* text : {"", "2024-03-01", "2024-03-01T08:15:02", "2024-02-30T08:15:02Z", "2024-03-01T08:15:02+1"}) {
    EXPECT_FALSE(invoice::ParseProcessorTime(text).has_value()) << text;
  }
}

}  // namespace
}  // namespace telvano::app
