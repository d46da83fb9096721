#include "db/database_backup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/whole_file.h"
#include "support/test_database.h"

namespace telvano::db {
namespace {

namespace fs = std::filesystem;

class DatabaseBackupTest : public ::testing::Test {
 protected:
  DatabaseBackupTest() { fs::create_directory(m_backupDir); }

  void WriteInvoice(const std::string& uuid) {
    m_database.Db().Execute("insert into inv_request(inv_uuid) values(?)", {uuid});
  }
  static std::string Invoices(Database& database) {
    std::string uuids;
    for (const Row& row : database.Query("select inv_uuid from inv_request order by 1"))
      uuids += row[0].AsString() + " ";
    return uuids;
  }
  std::vector<std::string> BackupFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_backupDir)) names.push_back(entry.path().filename());
    return names;
  }

  testing::TestDatabase m_database;
  fs::path m_backupDir = m_database.Folder().Path() / "BackupDB";
  std::string m_target = (m_backupDir / "TELVANO_2024-03-01.mlf").string();
  Database::Options m_source = Database::Options::For(m_database.Path());
};

TEST_F(DatabaseBackupTest, TheCopyOfTheOpenDatabaseOpensAndHoldsWhatWasCommittedBeforeIt) {
  WriteInvoice("a-committed");
  {
    // Work in flight during the backup: neither it nor what comes after the backup is in the copy.
    Database::Transaction open(m_database.Db());
    WriteInvoice("b-uncommitted");
    BackupDatabaseFile(m_source, m_target);
    open.Commit();
  }
  WriteInvoice("c-after");

  EXPECT_EQ(BackupFolder(), std::vector<std::string>{"TELVANO_2024-03-01.mlf"});
  auto copy = Database::Attach(Database::Options::For(m_target));
  EXPECT_EQ(Invoices(*copy), "a-committed ");
  copy->Execute("insert into inv_request(inv_uuid) values('d-in-the-copy')");  // an ordinary database
  // The database itself has left the backup lock and kept everything.
  const char* backupState = "select mon$backup_state from mon$database";
  EXPECT_EQ(m_database.Db().QueryFirst(backupState)->operator[](0).AsInt64(), 0);
  EXPECT_EQ(Invoices(m_database.Db()), "a-committed b-uncommitted c-after ");
}

TEST_F(DatabaseBackupTest, AFailedBackupRaisesAndLeavesNoFileBehind) {
  EXPECT_THROW(BackupDatabaseFile(m_source, m_database.Folder() / "NoFolder/x.mlf"), platform::FileError);
  EXPECT_THROW(BackupDatabaseFile(Database::Options::For(m_database.Folder() / "no.fdb"), m_target), DbError);
  m_database.Db().Execute("alter database begin backup");  // someone else holds the backup lock
  try {
    BackupDatabaseFile(m_source, m_target);
    ADD_FAILURE() << "a backup under another backup lock was reported as done";
  } catch (const DbError& error) {
    EXPECT_NE(std::string(error.what()).find("physical backup mode"), std::string::npos) << error.what();
  }
  m_database.Db().Execute("alter database end backup");
  EXPECT_TRUE(BackupFolder().empty());

  // Neither leftovers of an interrupted run nor an earlier backup of the name stand in the way.
  platform::WriteFileDurably((m_backupDir / ".TELVANO_2024-03-01.mlf.nbk").string(), "half");
  platform::WriteFileDurably((m_backupDir / ".TELVANO_2024-03-01.mlf.part").string(), "half");
  platform::WriteFileDurably(m_target, "yesterday's");
  WriteInvoice("latest");
  BackupDatabaseFile(m_source, m_target);
  EXPECT_EQ(BackupFolder(), std::vector<std::string>{"TELVANO_2024-03-01.mlf"});
  EXPECT_EQ(Invoices(*Database::Attach(Database::Options::For(m_target))), "latest ");
}

}  // namespace
}  // namespace telvano::db
