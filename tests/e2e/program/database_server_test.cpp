// An installation made by telvano-setup --db-server on the machine's Firebird server: the real program runs
// unattended on it against the simulator, fiscalises invoices and answers a report, and another attachment
// through the server sees the rows while the program runs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <regex>

#include "db/database.h"
#include "db/database_backup.h"
#include "e2e_installation.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/firebird_server.h"

extern char** environ;

namespace telvano::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kUid = "YJLQTEQR";

// Runs telvano-setup with the arguments; its output goes to `log`. Returns its exit code.
int RunSetup(std::vector<std::string> arguments, const fs::path& log) {
  arguments.insert(arguments.begin(), TELVANO_SETUP_PROGRAM);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (spawned != 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Written under a hidden name and renamed, as a careful POS does.
void Drop(const fs::path& input, const std::string& name, const std::string& bytes) {
  WriteFileBytes(input / ("." + name), bytes);
  fs::rename(input / ("." + name), input / name);
}

TEST(DatabaseServerInstallation, InvoicesAndAReportThroughTheServer) {
  if (!FirebirdServer::Available()) GTEST_SKIP() << FirebirdServer::kUnavailable;
  FirebirdServer server;
  server.Start();
  pfrsim::SimOptions options;
  options.uid = kUid;
  pfrsim::PfrSimulator sim(options);
  sim.Start();

  // The E2eInstallation runs the program; the installation it runs on is the one telvano-setup makes.
  E2eInstallation program;
  const fs::path shop = program.Root() / "shop";
  const fs::path setupLog = program.Root() / "setup.txt";
  ASSERT_EQ(RunSetup({"--root", shop, "--soft-secret", E2eInstallation::kSoftKey, "--add-lpfr", sim.BaseUrl(),
                      "--uid", kUid, "--db-server", "localhost"},
                     setupLog),
            0)
      << ReadFileBytes(setupLog);
  const fs::path database = shop / "Data" / "TELVANO.FDB";
  ASSERT_NE(ReadFileBytes(setupLog).find("checked          the server opens localhost:" + database.string()),
            std::string::npos)
      << ReadFileBytes(setupLog);
  const fs::path input = shop / "ExchData" / "SDC_Inp";
  const fs::path output = shop / "ExchData" / "SDC_Out";
  const auto log = [&] { return ReadFileBytes(shop / "TELVANO" / "Logs" / "TELVANO_log.txt"); };

  program.SetRegistryPath(shop / "TELVANO.conf");
  program.Start({E2eInstallation::kSoftKey, "1234", kUid});
  ASSERT_TRUE(E2eInstallation::WaitForFile(output / "start_info.txt", 30s)) << program.StderrText();
  EXPECT_NE(ReadFileBytes(output / "start_info.txt").find("OK,"), std::string::npos) << log();

  Drop(input, "INV_NS_0001.csv", SampleInvoice("Kafa"));
  Drop(input, "INV_NS_0002.csv", SampleInvoice("Čaj"));
  for (const char* result : {"INV_NS_0001_basic.csv", "INV_NS_0002_basic.csv"})
    ASSERT_TRUE(E2eInstallation::WaitForFile(output / result, 40s)) << result << "\n" << log();

  {  // A second attachment through the server, while the program holds its own.
    db::Database::Options attach = db::Database::Options::For("localhost:" + database.string());
    attach.password = server.Password();
    auto observer = db::Database::Attach(attach);
    const auto row = observer->QueryFirst("select count(*), sum(total_amount) from inv_response");
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ((*row)[0].AsString(), "2");
    EXPECT_EQ((*row)[1].AsDecimal().ToFixed(2), "20.00");
    observer->Close();
    // The server, running as its own user, writes the backup into the installation's BackupDB.
    const fs::path backup = shop / "Data" / "BackupDB" / "TELVANO_server.FDB";
    EXPECT_NO_THROW(db::BackupDatabaseFile(attach, backup.string()));
    std::error_code missing;
    EXPECT_GT(fs::file_size(backup, missing), 0u) << missing.message();
  }

  Drop(input, "CMD_0001.csv", "X-REPORT,\r\n");
  ASSERT_TRUE(E2eInstallation::WaitForFile(output / "CMD_0001_resp.txt", 20s)) << log();
  const std::string report = ReadFileBytes(output / "CMD_0001_resp.txt");
  EXPECT_TRUE(std::regex_match(report, std::regex("[0-9]{4}-[0-9]{2},[^,\r\n]+,[^,\r\n]+,NS,20\\.00\r\n")))
      << report;

  Drop(input, "CMD_ZZZZ.csv", "STOP-TELVANO,\r\n");
  EXPECT_EQ(program.WaitForExit(30s), 0) << program.StderrText();
}

}  // namespace
}  // namespace telvano::testing
