// The status check's judgement of what it saw: which facts make a warning, which a critical state.
#include "status_check.h"

#include <gtest/gtest.h>

#include <functional>

namespace telvano::setup {
namespace {

using namespace std::chrono_literals;

// A healthy installation seen at a fixed instant: the program ran its last look a second ago.
StatusFacts Healthy() {
  StatusFacts facts;
  facts.now = std::chrono::sys_days{std::chrono::year_month_day{std::chrono::year{2024}, std::chrono::month{3},
                                                                std::chrono::day{1}}} + 8h;
  facts.running = true;
  facts.fromProgram = true;
  facts.longestTick = 570s;
  core::ServiceReport report;
  report.written = facts.now - 1s;
  report.serial = "PFR01";
  report.url = "http://127.0.0.1:8888";
  report.lastSigned = "2024-03-01T08:50:00+01:00";  // ten minutes ago
  facts.report = report;
  facts.processorChecked = true;
  facts.processorCode = 200;
  facts.exchange = {"/srv/exch", true, 1u << 30};
  facts.data = {"/srv/data", true, 1u << 30};
  facts.lastBackup = "/srv/data/BackupDB/TELVANO_2024-03-01.mlf";
  facts.lastBackupTime = facts.now - 6h;
  return facts;
}

struct JudgementCase {
  const char* name;
  std::function<void(StatusFacts&)> change;
  Health health;
  const char* finding;  // the first finding's text starts with it; "" for none
};

void PrintTo(const JudgementCase& c, std::ostream* out) { *out << c.name; }

class StatusJudgement : public ::testing::TestWithParam<JudgementCase> {};

TEST_P(StatusJudgement, NamesTheWorstFirst) {
  StatusFacts facts = Healthy();
  GetParam().change(facts);
  const std::vector<Finding> findings = JudgeStatus(facts, StatusLimits{});
  EXPECT_EQ(OverallHealth(findings), GetParam().health);
  if (*GetParam().finding == '\0') {
    EXPECT_TRUE(findings.empty()) << findings.front().text;
  } else {
    ASSERT_FALSE(findings.empty());
    EXPECT_EQ(findings.front().text.rfind(GetParam().finding, 0), 0u) << findings.front().text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Facts, StatusJudgement,
    ::testing::Values(
        JudgementCase{"Healthy", [](StatusFacts&) {}, Health::Ok, ""},
        JudgementCase{"AFileWaitsLongWithoutASignature",
                      [](StatusFacts& f) {
                        f.report->lastSigned = "2024-03-01T03:30:00.1234567-02:30";  // two hours ago
                        f.inputsWaiting = 1;
                        f.oldestInput = f.now - 31min;
                      },
                      Health::Warning, "no invoice signed for 120 min while invoices wait (31 min)"},
        JudgementCase{"AFileJustArrivedAfterAQuietNight",
                      [](StatusFacts& f) {
                        f.report->lastSigned = "2024-02-29T20:00:00Z";
                        f.inputsWaiting = 1;
                        f.oldestInput = f.now - 2min;
                      },
                      Health::Ok, ""},
        JudgementCase{"TheLastBackupIsOld", [](StatusFacts& f) { f.lastBackupTime = f.now - 49h; }, Health::Warning,
                      "the last backup is 49 h old"},
        JudgementCase{"TheExchangeFolderIsFullAndTheBackupOld",
                      [](StatusFacts& f) {
                        f.exchange.freeBytes = 4096;
                        f.lastBackupTime = f.now - 72h;
                      },
                      Health::Critical, "exchange folder /srv/exch is full (4 KB free)"},
        JudgementCase{"AStuckTick", [](StatusFacts& f) { f.report->written = f.now - 11min; }, Health::Critical,
                      "TELVANO has not reported for 11 min: a tick is stuck"},
        JudgementCase{"TheDatabaseIsLostAndTheProcessorSilent",
                      [](StatusFacts& f) {
                        f.report->databaseReachable = false;
                        f.report->databaseProblem = "lock time-out";
                        f.processorCode = -1;
                      },
                      Health::Critical, "database not reachable: lock time-out"}),
    [](const ::testing::TestParamInfo<JudgementCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace telvano::setup
