#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "core/configuration.h"
#include "core/working_certificate.h"
#include "db/database.h"
#include "db/schema.h"
#include "db/settings.h"
#include "platform/single_instance_lock.h"
#include "support/firebird_server.h"
#include "support/temp_dir.h"

namespace telvano {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
namespace fs = std::filesystem;

// SHA-512 of "tajna" and of "šifra1": the secrets are stored lower-cased.
constexpr const char* kTajnaForm =
    "21377d21d9ad8aec91f1f08f03abf8a37ebeced0590fd6db1072ffeb227cfc008dafc1d462c15869705c0c2c6c8372a6fdf31a5f"
    "ea105120"
    "755e9a98aaee49f9";
constexpr const char* kSifraForm =
    "52ce17e6bbbe1b1d94630a058d4d5412c253dcb5f86e4d53f397722ef7943eac95aeedb452563ec3998d6ad12277cf044a3224d7"
    "b7ccde2b1f"
    "57cb5410a6570e";

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string SetupProgram() { return TELVANO_SETUP_PROGRAM; }

// Runs telvano-setup with the arguments as separate words and collects what it printed.
RunResult RunSetup(const TempDir& scratch, std::vector<std::string> arguments) {
  const std::string outPath = scratch / "stdout.txt";
  const std::string errPath = scratch / "stderr.txt";
  arguments.insert(arguments.begin(), SetupProgram());
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = ReadFileBytes(outPath);
  result.err = ReadFileBytes(errPath);
  return result;
}

std::unique_ptr<db::Database> Open(const std::string& path) {
  db::Database::Options options;
  options.name = path;
  return db::Database::Attach(options);
}

class TelvanoSetupTest : public ::testing::Test {
 protected:
  std::string Root() const { return m_root / "inst"; }
  std::string DatabasePath() const { return Root() + "/Data/TELVANO.FDB"; }

  TempDir m_root;
  TempDir m_scratch;
};

TEST_F(TelvanoSetupTest, CreatesTheWholeInstallation) {
  const RunResult run =
      RunSetup(m_scratch, {"--root", Root(), "--login-secret", "TaJna", "--soft-secret", "ŠIFRA1"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("export TELVANO_REGISTRY='" + Root() + "/TELVANO.conf'"), std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("TaJna"), std::string::npos);  // a secret is never echoed

  std::string warnings;
  const core::Configuration configuration = core::LoadConfiguration(Root() + "/TELVANO.conf", &warnings);
  EXPECT_EQ(warnings, "");
  EXPECT_EQ(configuration.DB_Fullname, DatabasePath());
  EXPECT_EQ(configuration.PrintFileDir, Root() + "/Prints");
  for (const std::string& folder :
       {configuration.ApplDataDir, configuration.LogsDir, configuration.CertificateDir,
        configuration.RunTimeDir, configuration.InputDir, configuration.OutputDir, configuration.ArchiveDir,
        configuration.PrintFileDir}) {
    EXPECT_TRUE(fs::is_directory(folder)) << folder;
  }
  EXPECT_TRUE(fs::is_directory(Root() + "/Data/BackupDB"));

  auto database = core::ConnectDatabase(configuration);
  EXPECT_EQ(db::ReadSetting(*database, "LOGIN_SECRET"), kTajnaForm);
  EXPECT_EQ(db::ReadSetting(*database, "SOFT_SECRET"), kSifraForm);
  EXPECT_EQ(db::ReadSetting(*database, "DB_VERSION"), "ODS13.0/FB4.0/DDL10.16");
  EXPECT_NO_THROW(db::ProbeDatabase(*database));
}

TEST_F(TelvanoSetupTest, NeverReplacesADatabaseWithoutForce) {
  ASSERT_EQ(RunSetup(m_scratch, {"--root", Root()}).exitCode, 0);
  {
    auto database = Open(DatabasePath());
    db::WriteSetting(*database, "SDC_MRC", "keep-me");
  }
  const RunResult refused = RunSetup(m_scratch, {"--root", Root(), "--login-secret", "other"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("already exists"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("nothing was changed"), std::string::npos) << refused.err;
  {
    auto database = Open(DatabasePath());
    EXPECT_EQ(db::ReadSetting(*database, "SDC_MRC"), "keep-me");
    EXPECT_EQ(db::ReadSetting(*database, "LOGIN_SECRET"), "");
  }

  const RunResult forced = RunSetup(m_scratch, {"--root", Root(), "--force", "--schema-level", "10.10"});
  ASSERT_EQ(forced.exitCode, 0) << forced.err;
  auto database = Open(DatabasePath());
  EXPECT_EQ(db::ReadSetting(*database, "SDC_MRC"), "");
  EXPECT_EQ(db::ReadSetting(*database, "DB_VERSION"), "ODS13.0/FB4.0/DDL10.10");
  db::CheckAndUpgradeSchema(*database);  // an old level made for the upgrade really upgrades
  EXPECT_EQ(db::ReadSetting(*database, "DB_VERSION"), "ODS13.0/FB4.0/DDL10.16");
}

TEST_F(TelvanoSetupTest, ForceLeavesTheDatabaseOfARunningProgramAlone) {
  ASSERT_EQ(RunSetup(m_scratch, {"--root", Root()}).exitCode, 0);
  TempDir runtime;
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string previous = saved != nullptr ? saved : "";
  ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
  RunResult refused;
  {
    platform::SingleInstanceLock running(runtime / "TELVANO_Started.lock");  // what a running TELVANO holds
    ASSERT_TRUE(running.TryAcquire());
    refused = RunSetup(m_scratch, {"--root", Root(), "--force"});
  }
  const RunResult forced = RunSetup(m_scratch, {"--root", Root(), "--force"});
  if (saved != nullptr) {
    ::setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("TELVANO is running"), std::string::npos) << refused.err;
  EXPECT_EQ(forced.exitCode, 0) << forced.err;  // once it has stopped, --force replaces the database
}

TEST_F(TelvanoSetupTest, NothingChangesAnInstallationThatAProgramOfAnotherUserWorksOn) {
  ASSERT_EQ(RunSetup(m_scratch, {"--root", Root()}).exitCode, 0);
  // The lock in the installation itself, whatever runtime folder the running program has.
  platform::SingleInstanceLock running(platform::InstallationLockPath(Root() + "/TELVANO/ApplData"));
  ASSERT_TRUE(running.TryAcquire());
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--root", Root(), "--force"},
        std::vector<std::string>{"--root", Root(), "--register-lpfr", "http://127.0.0.1:1", "--pin", "1234",
                                 "--developer-tin", "123456789"}}) {
    const RunResult refused = RunSetup(m_scratch, arguments);
    EXPECT_EQ(refused.exitCode, 1) << arguments.back();
    EXPECT_NE(refused.err.find("TELVANO is running"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.err.find("Obrada sertifikata"), std::string::npos) << "the procedure ran: " << refused.err;
  }
}

TEST_F(TelvanoSetupTest, AddsALocalProcessorThatBecomesTheWorkingCertificate) {
  ASSERT_EQ(RunSetup(m_scratch, {"--root", Root()}).exitCode, 0);
  testing::WriteFileBytes(m_scratch / "Ostrapo", "#!/bin/sh\nexit 0\n");
  const RunResult added = RunSetup(
      m_scratch, {"--root", Root(), "--add-lpfr", "http://127.0.0.1:8123", "--uid", "AB12CD34", "--tin",
                  "100200300", "--unit", "PJ-CENTAR-01", "--install-program", m_scratch / "Ostrapo"});
  ASSERT_EQ(added.exitCode, 0) << added.err;
  const fs::path installed = Root() + "/TELVANO/RunTime/Ostrapo";
  ASSERT_TRUE(fs::is_regular_file(installed));
  EXPECT_NE(fs::status(installed).permissions() & fs::perms::owner_exec, fs::perms::none);
  EXPECT_EQ(RunSetup(m_scratch, {"--root", Root(), "--install-program", m_scratch / "absent"}).exitCode, 1);

  std::unique_ptr<db::Database> database = Open(DatabasePath());
  struct NoMessages final : core::MessageService {
    void ShowMessageNo(int) override { FAIL(); }
    void ShowMessageText(int, const std::string&, const std::string&) override { FAIL(); }
    void ShowProcessorError(const std::string&) override { FAIL(); }
    void ShowInfo(const std::string&) override { FAIL(); }
  } messages;
  core::WorkingState state;
  core::WorkingCertificate certificate(state, database, messages);
  ASSERT_TRUE(certificate.LoadWorkingCertificate(""));
  EXPECT_EQ(state.WorkSerial, "AB12CD34");
  EXPECT_EQ(state.WorkUrl, "http://127.0.0.1:8123");
  EXPECT_EQ(state.WorkUnit, "PJ-CENT");
  EXPECT_TRUE(state.WorkIsLpfr);
  EXPECT_EQ(state.WorkEnv, "DEV");
}

TEST_F(TelvanoSetupTest, ApiTokenIsAFreshPrivateFileEachTimeAndNothingElseChanges) {
  ASSERT_EQ(RunSetup(m_scratch, {"--root", Root(), "--soft-secret", "k", "--api-token"}).exitCode, 0);
  const std::string path = Root() + "/TELVANO/ApplData/api_token";
  const std::string first = ReadFileBytes(path);
  ASSERT_EQ(first.size(), 65u);
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), 64u);  // 64 hex digits, then the line break
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  const std::string configuration = ReadFileBytes(Root() + "/TELVANO.conf");

  // On the existing installation it replaces the token, prints where it is and leaves the rest alone.
  const RunResult again = RunSetup(m_scratch, {"--root", Root(), "--api-token"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_NE(again.out.find("ApiTokenFile=" + path), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find(first.substr(0, 64)), std::string::npos);  // the token itself is never printed
  EXPECT_NE(ReadFileBytes(path), first);
  EXPECT_EQ(ReadFileBytes(Root() + "/TELVANO.conf"), configuration);
}

TEST_F(TelvanoSetupTest, WrongArgumentsChangeNothing) {
  EXPECT_EQ(RunSetup(m_scratch, {"--root", Root(), "--schema-level", "10.12"}).exitCode, 2);
  EXPECT_EQ(RunSetup(m_scratch, {"--root", Root(), "--soft-secret", ""}).exitCode, 2);
  EXPECT_EQ(RunSetup(m_scratch, {"--login-secret", "x"}).exitCode, 2);
  EXPECT_EQ(RunSetup(m_scratch, {"--root", Root(), "--bogus"}).exitCode, 2);
  EXPECT_EQ(RunSetup(m_scratch, {"--root", Root(), "--db-password", "x"}).exitCode, 2);
  EXPECT_FALSE(fs::exists(Root()));
}

TEST_F(TelvanoSetupTest, DatabaseForAServer) {
  if (!testing::FirebirdServer::Available()) GTEST_SKIP() << testing::FirebirdServer::kUnavailable;
  testing::FirebirdServer server;
  server.Start();
  const RunResult run = RunSetup(m_scratch, {"--root", Root(), "--soft-secret", "ŠIFRA1", "--db-server", "localhost"});
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("checked          the server opens localhost:" + DatabasePath()), std::string::npos) << run.out;

  const std::string configFile = Root() + "/TELVANO.conf";
  const core::Configuration configuration = core::LoadConfiguration(configFile, nullptr);
  EXPECT_EQ(configuration.DB_Fullname, "localhost:" + DatabasePath());
  EXPECT_EQ(configuration.DB_Password, server.Password());  // read from SYSDBA.password
  EXPECT_EQ(fs::status(configFile).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  const passwd* firebird = ::getpwnam("firebird");
  ASSERT_NE(firebird, nullptr);
  for (const std::string& path : {DatabasePath(), Root() + "/Data"}) {
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, firebird->pw_uid) << path;
  }
  auto database = core::ConnectDatabase(configuration);  // through the server
  EXPECT_EQ(db::ReadSetting(*database, "SOFT_SECRET"), kSifraForm);
  database->Close();

  // A wrong password leaves a complete installation that says so at once.
  const std::string other = m_root / "other";
  const RunResult wrong = RunSetup(m_scratch, {"--root", other, "--db-server", "localhost", "--db-password", "wrong"});
  EXPECT_EQ(wrong.exitCode, 0) << wrong.err;
  EXPECT_NE(wrong.err.find("warning: the server does not open localhost:" + other), std::string::npos) << wrong.err;
  EXPECT_NE(ReadFileBytes(other + "/TELVANO.conf").find("\nDB_Password=wrong\n"), std::string::npos);
}

}  // namespace
}  // namespace telvano
