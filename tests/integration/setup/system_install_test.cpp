// telvano-setup's system installation, run in-process with its two fixed places moved into a temporary
// folder: the data tree given to a user and group, the configuration readable by that group only, the
// package's helper programs linked (never written through) into RunTime.
#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "core/configuration.h"
#include "installation.h"
#include "setup_options.h"
#include "support/temp_dir.h"
#include "system_install.h"

namespace telvano::setup {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

constexpr const char* kOwner = "nobody:nogroup";  // present on every Debian system

struct stat StatOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info;
}

class SystemInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "giving files to another user needs root";
    m_nobody = ::getpwnam("nobody")->pw_uid;
    m_nogroup = ::getgrnam("nogroup")->gr_gid;
    fs::create_directories(m_helpers.Path());
    WriteFileBytes(m_helpers / "Ostrapo", "#!/bin/sh\nexit 0\n");
    fs::permissions(m_helpers / "Ostrapo", fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    WriteFileBytes(m_helpers / "notes.txt", "not a program");
  }

  // What `telvano-setup --system --owner nobody:nogroup ...` does, with /var/lib/telvano and
  // /etc/xdg/Dravicor/TELVANO.conf moved into the temporary folder.
  SetupOptions SystemOptions(std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments = {"--system", "--root", Root(), "--owner", kOwner, "--soft-secret",
                                          "kasa-1"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::string error;
    std::optional<SetupOptions> options = ParseSetupArguments(arguments, error);
    EXPECT_TRUE(options) << error;
    options->configFile = ConfigFile();
    options->helperDir = m_helpers.Path().string();
    return *options;
  }

  int Run(const SetupOptions& options) {
    m_out.str("");
    m_err.str("");
    return RunSetup(options, m_out, m_err);
  }

  std::string Root() const { return m_place / "var-lib-telvano"; }
  std::string ConfigFile() const { return m_place / "etc/xdg/Dravicor/TELVANO.conf"; }

  TempDir m_place;
  TempDir m_helpers;
  uid_t m_nobody = 0;
  gid_t m_nogroup = 0;
  std::ostringstream m_out;
  std::ostringstream m_err;
};

TEST(SystemOptions, SystemNamesTheMachinesOwnPlaces) {
  std::string error;
  const auto options = ParseSetupArguments({"--system"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->root, "/var/lib/telvano");
  EXPECT_EQ(options->configFile, "/etc/xdg/Dravicor/TELVANO.conf");  // the program's own default
  const auto elsewhere = ParseSetupArguments({"--root", "/srv/shop", "--system"}, error);
  ASSERT_TRUE(elsewhere) << error;
  EXPECT_EQ(elsewhere->root, "/srv/shop");
  EXPECT_EQ(elsewhere->configFile, "/etc/xdg/Dravicor/TELVANO.conf");
  const auto plain = ParseSetupArguments({"--root", "/srv/shop"}, error);
  ASSERT_TRUE(plain) << error;
  EXPECT_EQ(plain->configFile, "");  // beside the data, as before
}

TEST_F(SystemInstallTest, TheDataBelongsToTheOwnerAndItsGroupOnly) {
  ASSERT_EQ(Run(SystemOptions()), 0) << m_err.str();
  EXPECT_NE(m_out.str().find("when TELVANO_REGISTRY is not set"), std::string::npos) << m_out.str();

  const core::Configuration configuration = core::LoadConfiguration(ConfigFile());
  EXPECT_EQ(configuration.Appl_Root, Root() + "/TELVANO");
  EXPECT_EQ(configuration.DB_Fullname, Root() + "/Data/TELVANO.FDB");
  // The POS's group passes through to SDC_Inp and SDC_Out and may use those two; nothing else is its.
  const struct {
    std::string path;
    unsigned mode;
  } expected[] = {
      {Root(), 02710},
      {Root() + "/ExchData", 02710},
      {configuration.InputDir, 02770},
      {configuration.OutputDir, 02770},
      {configuration.ArchiveDir, 0700},
      {configuration.LogsDir, 0700},
      {configuration.RunTimeDir, 0700},
      {configuration.CertificateDir, 0700},
      {Root() + "/Data/BackupDB", 0700},
      {configuration.PrintFileDir, 0700},
      {configuration.DB_Fullname, 0600},
  };
  for (const auto& entry : expected) {
    const struct stat info = StatOf(entry.path);
    EXPECT_EQ(info.st_uid, m_nobody) << entry.path;
    EXPECT_EQ(info.st_gid, m_nogroup) << entry.path;
    EXPECT_EQ(info.st_mode & 07777, entry.mode) << entry.path;
  }

  const struct stat config = StatOf(ConfigFile());
  EXPECT_EQ(config.st_uid, 0u);
  EXPECT_EQ(config.st_gid, m_nogroup);
  EXPECT_EQ(config.st_mode & 0777, 0640u);
}

TEST_F(SystemInstallTest, ThePackagesHelperIsLinkedAndNeverWrittenThrough) {
  ASSERT_EQ(Run(SystemOptions()), 0) << m_err.str();
  const fs::path link = Root() + "/TELVANO/RunTime/Ostrapo";
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), m_helpers.Path() / "Ostrapo");
  EXPECT_FALSE(fs::exists(fs::symlink_status(Root() + "/TELVANO/RunTime/notes.txt")));  // not a program
  EXPECT_EQ(StatOf(m_helpers / "Ostrapo").st_uid, 0u);  // giving the tree away does not follow the link

  // A program of its own, installed later, replaces the link and leaves the package's file alone.
  WriteFileBytes(m_place / "Ostrapo", "#!/bin/sh\nexit 3\n");
  SetupOptions extend = SystemOptions({"--install-program", m_place / "Ostrapo"});
  ASSERT_EQ(Run(extend), 0) << m_err.str();
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(link), "#!/bin/sh\nexit 3\n");
  EXPECT_EQ(ReadFileBytes(m_helpers / "Ostrapo"), "#!/bin/sh\nexit 0\n");
}

// The certificate procedures run as root on an installation that belongs to the service's user: whatever
// they write (here the log lines of a processor that does not answer) is given to the owner afterwards.
TEST_F(SystemInstallTest, ACertificateRunLeavesItsFilesToTheOwner) {
  ASSERT_EQ(Run(SystemOptions()), 0) << m_err.str();
  std::string error;
  std::optional<SetupOptions> options = ParseSetupArguments(
      {"--system", "--root", Root(), "--owner", kOwner, "--register-lpfr", "http://127.0.0.1:1", "--pin", "1234",
       "--developer-tin", "123456789"},
      error);
  ASSERT_TRUE(options) << error;
  options->configFile = ConfigFile();
  EXPECT_EQ(Run(*options), 1);  // nobody answers at that address
  const fs::path log = Root() + "/TELVANO/Logs/TELVANO_log.txt";
  ASSERT_TRUE(fs::exists(log)) << m_err.str() << m_out.str();
  EXPECT_EQ(StatOf(log).st_uid, m_nobody);
  EXPECT_EQ(StatOf(log).st_mode & 0777, 0600u);
}

TEST_F(SystemInstallTest, AnUnknownOwnerChangesNothing) {
  SetupOptions options = SystemOptions();
  options.owner = "no-such-user-telvano";
  EXPECT_EQ(Run(options), 1);
  EXPECT_NE(m_err.str().find("no user \"no-such-user-telvano\""), std::string::npos) << m_err.str();
  EXPECT_FALSE(fs::exists(Root()));
  EXPECT_FALSE(fs::exists(ConfigFile()));
}

}  // namespace
}  // namespace telvano::setup
