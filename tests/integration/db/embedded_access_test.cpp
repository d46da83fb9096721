#include "db/database.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace telvano::db {
namespace {

// Runs the check program as `uid` (when given) without FIREBIRD_LOCK, and returns its exit code and output.
std::pair<int, std::string> RunCheck(const std::string& program, const std::string& databasePath, int uid) {
  int out[2];
  if (pipe(out) != 0) return {-1, "pipe"};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    if (uid >= 0 && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)) _exit(5);
    unsetenv("FIREBIRD_LOCK");
    unsetenv("XDG_RUNTIME_DIR");
    execl(program.c_str(), program.c_str(), databasePath.c_str(), static_cast<char*>(nullptr));
    _exit(6);
  }
  close(out[1]);
  std::string output;
  std::array<char, 512> buffer;
  ssize_t got;
  while ((got = read(out[0], buffer.data(), buffer.size())) > 0) output.append(buffer.data(), got);
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

TEST(EmbeddedAccess, WorksWithoutServerOrPasswordForThisUser) {
  testing::TempDir folder;
  auto [code, output] = RunCheck(TELVANO_EMBEDDED_CHECK, folder / "mine.fdb", -1);
  EXPECT_EQ(code, 0) << output;
}

TEST(EmbeddedAccess, WorksForANormalUserWhenRootOwnsTheDefaultLockFolder) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  testing::TestDatabase makesTheDefaultLockFolder;  // as root, Firebird makes /tmp/firebird for root only
  testing::TempDir folder;
  std::filesystem::permissions(folder.Path(), std::filesystem::perms::all);
  // A copy the other user can surely reach (the build folder may sit below a private home folder).
  std::filesystem::copy_file(TELVANO_EMBEDDED_CHECK, folder.Path() / "embedded_check");
  const int nobody = 65534;
  auto [code, output] = RunCheck(folder / "embedded_check", folder / "user.fdb", nobody);
  EXPECT_EQ(code, 0) << output;
  EXPECT_NE(output.find("lock=/tmp/firebird-65534"), std::string::npos) << output;
}

TEST(EmbeddedAccess, HostAndPathGoesToAServerNotToTheFile) {
  testing::TempDir folder;
  testing::WriteFileBytes(folder.Path() / "x.fdb", "");
  // Port 1 on the loopback has no server: the attempt must fail as a network error, never open a file.
  EXPECT_THROW(Database::Attach(Database::Options::For("127.0.0.1/1:" + (folder / "x.fdb"))), DbError);
}

}  // namespace
}  // namespace telvano::db
