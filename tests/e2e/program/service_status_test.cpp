// telvano-setup --status and --backup on real installations: with the program stopped (the check reads the
// database itself) and with it running (the program reports, and takes the backup between two files).
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <thread>

#include "db/database.h"
#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/pfr_sim_fixture.h"

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kUid = "YJLQTEQR";

std::unique_ptr<db::Database> Open(const fs::path& path) { return db::Database::Attach({path.string(), "SYSDBA", ""}); }

// "Mon dd hh:mm:ss yyyy GMT", as cert_se keeps a certificate's end, `days` from now.
std::string NotAfterIn(int days) {
  const std::time_t when = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() + days * 24h);
  std::tm utc{};
  ::gmtime_r(&when, &utc);
  char text[40];
  std::strftime(text, sizeof text, "%b %e %H:%M:%S %Y GMT", &utc);
  return text;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// The detail line that starts with `label`.
std::string DetailLine(const std::string& text, const std::string& label) {
  const std::size_t at = text.find("\n" + label);
  return at == std::string::npos ? std::string() : FirstLine(text.substr(at + 1));
}

fs::path BackupFolder(const E2eInstallation& installation) { return installation.DatabasePath().parent_path() / "BackupDB"; }

struct Installation {
  std::unique_ptr<pfrsim::PfrSimulator> sim;
  E2eInstallation installation;

  Installation() {
    pfrsim::SimOptions options;
    options.uid = kUid;
    sim = StartLpfrSimulator(options);
    installation.AddCertificate({kUid, sim->BaseUrl()});
    fs::create_directories(BackupFolder(installation));
    WriteFileBytes(BackupFolder(installation) / "TELVANO_2020-01-01.mlf", "a backup of today's time");
  }
  void Execute(const std::string& sql, const std::vector<db::Param>& params = {}) {
    auto database = Open(installation.DatabasePath());
    database->Execute(sql, params);
    database->Close();
  }
};

struct StatusCase {
  const char* name;
  std::function<void(Installation&)> arrange;
  int exitCode;
  std::string firstLine;  // what the first line starts with; "{url}" stands for the processor's address
};

void PrintTo(const StatusCase& c, std::ostream* out) { *out << c.name; }

class StatusCheck : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusCheck, TellsHowTheInstallationStandsWithTheExitCodesOfAMonitoringPlugin) {
  Installation shop;
  GetParam().arrange(shop);
  std::string expected = GetParam().firstLine;
  if (const std::size_t at = expected.find("{url}"); at != std::string::npos) expected.replace(at, 5, shop.sim->BaseUrl());
  const SetupRun text = shop.installation.RunSetup({"--status"});
  EXPECT_EQ(text.exitCode, GetParam().exitCode) << text.out << text.err;
  EXPECT_EQ(FirstLine(text.out).rfind(expected, 0), 0u) << text.out;
  const SetupRun json = shop.installation.RunSetup({"--status", "--json"});
  EXPECT_EQ(json.exitCode, GetParam().exitCode);
  const auto parsed = nlohmann::json::parse(json.out, nullptr, false);
  ASSERT_TRUE(parsed.is_object()) << json.out;
  EXPECT_EQ(parsed["code"], GetParam().exitCode);
  EXPECT_EQ(parsed["status"], FirstLine(text.out).substr(8, FirstLine(text.out).find(" - ") - 8));
}

INSTANTIATE_TEST_SUITE_P(
    Installations, StatusCheck,
    ::testing::Values(
        StatusCase{"Healthy", [](Installation&) {}, 0,
                   "TELVANO OK - YJLQTEQR LPFR DEV, invoices held 0, last signed never | open=0 held=0;1"},
        StatusCase{"AnInvoiceHeld",
                   [](Installation& shop) {
                     shop.Execute("insert into inv_flight (inv_uuid, input_name, ext_filename, state, attempts, "
                                  "last_error, created_at, updated_at) values ('9b0e4c1e-0000-4000-8000-000000000009', "
                                  "'INV_NS_0009.csv', 'INV_NS_0009.CSV', 2, 1, 'Timeout was reached', "
                                  "current_timestamp, current_timestamp)");
                   },
                   1,
                   "TELVANO WARNING - 1 invoice held: INV_NS_0009.csv (sent, outcome unknown, 0 min): Timeout was "
                   "reached | open=1 held=1;1"},
        StatusCase{"CertificateEnding",
                   [](Installation& shop) { shop.Execute("update cert_se set not_after=?", {NotAfterIn(10)}); }, 1,
                   "TELVANO WARNING - certificate YJLQTEQR ends on 20"},
        StatusCase{"CertificateEnded",
                   [](Installation& shop) { shop.Execute("update cert_se set not_after=?", {NotAfterIn(-3)}); }, 2,
                   "TELVANO CRITICAL - certificate YJLQTEQR ended on 20"},
        StatusCase{"ProcessorStopped", [](Installation& shop) { shop.sim->Stop(); }, 2,
                   "TELVANO CRITICAL - processor {url} does not answer: "},
        StatusCase{"DatabaseMissing", [](Installation& shop) { fs::remove(shop.installation.DatabasePath()); }, 2,
                   "TELVANO CRITICAL - database not reachable: "},
        StatusCase{"UnreadableInstallation", [](Installation& shop) { fs::remove(shop.installation.RegistryPath()); },
                   3, "TELVANO UNKNOWN - the installation cannot be read: "}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

TEST(ServiceBackup, WhileTheProgramRunsItTakesTheBackupAndTheCheckReadsItsReport) {
  Installation shop;
  E2eInstallation& installation = shop.installation;
  fs::remove(BackupFolder(installation) / "TELVANO_2020-01-01.mlf");
  for (const char* day : {"01", "02", "03", "04", "05"}) {
    WriteFileBytes(BackupFolder(installation) / (std::string("TELVANO_2020-01-") + day + ".mlf"), "old");
  }
  WriteFileBytes(BackupFolder(installation) / "TELVANO_2020-01-01_INIT.mlf", "before a new certificate");
  installation.Start({E2eInstallation::kSoftKey, "1234", kUid});
  ASSERT_EQ(installation.WaitForStartInfo().substr(0, 3), "OK,") << installation.StderrText();
  installation.Drop("INV_NS_0001.csv", SampleInvoice());
  ASSERT_TRUE(E2eInstallation::WaitForFile(installation.Output() / "INV_NS_0001_basic.csv", 30s)) << installation.Log();

  const SetupRun backup = installation.RunSetup({"--backup", "--keep", "3"});
  ASSERT_EQ(backup.exitCode, 0) << backup.out << backup.err;
  EXPECT_NE(backup.out.find("(by the running TELVANO)"), std::string::npos) << backup.out;
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(BackupFolder(installation))) left.push_back(entry.path().filename());
  std::sort(left.begin(), left.end());
  ASSERT_EQ(left.size(), 4u) << ::testing::PrintToString(left);
  EXPECT_EQ(left[0], "TELVANO_2020-01-01_INIT.mlf");  // not a daily backup: it stays
  EXPECT_EQ(left[1], "TELVANO_2020-01-04.mlf");
  EXPECT_EQ(left[2], "TELVANO_2020-01-05.mlf");
  const fs::path today = BackupFolder(installation) / left[3];
  EXPECT_NE(backup.out.find("saved            " + today.string()), std::string::npos) << backup.out;
  {
    auto copy = Open(today);  // a database of its own, opened while the program holds the original
    EXPECT_EQ(copy->QueryFirst("select count(*) from inv_response").value()[0].AsInt64(), 1);
    copy->Close();
  }

  // The running program's report: the check waits for the look after the invoice.
  SetupRun status;
  for (int i = 0; i < 50; ++i) {
    status = installation.RunSetup({"--status"});
    if (status.out.find("last signed never") == std::string::npos) break;
    std::this_thread::sleep_for(200ms);
  }
  EXPECT_EQ(status.exitCode, 0) << status.out;
  EXPECT_NE(status.out.find("\nprogram: running (pid " + std::to_string(installation.Pid()) + ", unattended"),
            std::string::npos)
      << status.out;
  const std::string signedLine = DetailLine(status.out, "last signed: ");
  EXPECT_EQ(signedLine.rfind("last signed: 20", 0), 0u) << status.out;

  installation.Drop("CMD_STOP.csv", "STOP-TELVANO,\r\n");
  ASSERT_EQ(installation.WaitForExit(15s), 0);
  // Stopped, the database itself says the same.
  const SetupRun stopped = installation.RunSetup({"--status"});
  EXPECT_EQ(stopped.exitCode, 0) << stopped.out;
  EXPECT_NE(stopped.out.find("\nprogram: not running\n"), std::string::npos) << stopped.out;
  EXPECT_EQ(DetailLine(stopped.out, "last signed: "), signedLine);
}

}  // namespace
}  // namespace telvano::testing
