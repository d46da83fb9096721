// The backup through a real Firebird server: the same services steps run on the server, with its paths.
#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "db/database.h"
#include "db/database_backup.h"
#include "support/firebird_server.h"
#include "support/temp_dir.h"

namespace telvano::db {
namespace {

namespace fs = std::filesystem;
using testing::FirebirdServer;

TEST(DatabaseBackupServerTest, TheServerTakesTheCopyWhileTheProgramIsAttached) {
  if (!FirebirdServer::Available()) GTEST_SKIP() << FirebirdServer::kUnavailable;
  testing::TempDir folder;
  FirebirdServer server;
  server.Start();
  Database::Options options = Database::Options::For(server.CreateDatabase(folder.Path() / "telvano.fdb"));
  options.password = server.Password();
  const fs::path backupDir = folder.Path() / "BackupDB";
  fs::create_directory(backupDir);
  const passwd* account = getpwnam("firebird");
  ASSERT_NE(account, nullptr);
  ASSERT_EQ(chown(backupDir.c_str(), account->pw_uid, account->pw_gid), 0);  // the server writes there
  const std::string target = (backupDir / "telvano_2024-03-01.mlf").string();
  {
    auto database = Database::Attach(options);
    database->Execute(
        "insert into inv_request(inv_uuid, ext_filename) values('server-invoice', 'INV_NS_1.csv')");
    BackupDatabaseFile(options, target);
    database->Execute("insert into inv_request(inv_uuid) values('after-the-backup')");
  }
  Database::Options copyOptions = Database::Options::For("localhost:" + target);
  copyOptions.password = server.Password();
  auto copy = Database::Attach(copyOptions);
  const auto rows = copy->Query("select inv_uuid from inv_request");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].AsString(), "server-invoice");
  copy.reset();  // detached before the server lock goes
  EXPECT_EQ(std::distance(fs::directory_iterator(backupDir), fs::directory_iterator()), 1);
}

}  // namespace
}  // namespace telvano::db
