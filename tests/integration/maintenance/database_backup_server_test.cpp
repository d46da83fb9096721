// The backup through a real Firebird server: the same services steps run on the server, with its paths.
#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "db/database_backup.h"
#include "support/firebird_server.h"
#include "support/temp_dir.h"

namespace telvano::db {
namespace {

using testing::FirebirdServer;

TEST(DatabaseBackupServerTest, TheServerTakesTheCopyWhileTheProgramIsAttached) {
  if (!FirebirdServer::Available()) GTEST_SKIP() << FirebirdServer::kUnavailable;
  testing::TempDir folder;
  FirebirdServer server;
  server.Start();
  Database::Options options = Database::Options::For(server.CreateDatabase(folder.Path() / "telvano.fdb"));
  options.password = server.Password();
  const std::filesystem::path backupDir = folder.Path() / "BackupDB";
  std::filesystem::create_directory(backupDir);
  const passwd* account = getpwnam("firebird");
  ASSERT_TRUE(account &&
              chown(backupDir.c_str(), account->pw_uid, account->pw_gid) == 0);  // the server writes
  const std::string target = (backupDir / "telvano_2024-03-01.mlf").string();
  Database::Options copy = options;
  copy.name = "localhost:" + target;
  {
    auto database = Database::Attach(options);
    database->Execute("insert into inv_request(inv_uuid) values('server-invoice')");
    BackupDatabaseFile(options, target);
    database->Execute("insert into inv_request(inv_uuid) values('after-the-backup')");
  }
  const auto rows = Database::Attach(copy)->Query("select inv_uuid from inv_request");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsString(), "server-invoice");
}

}  // namespace
}  // namespace telvano::db
