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
  DatabaseBackupTest() : m_backupDir(m_database.Folder().Path() / "BackupDB") {
    fs::create_directory(m_backupDir);
  }

  Database& Db() { return m_database.Db(); }
  std::string Target() const { return (m_backupDir / "TELVANO_2024-03-01.mlf").string(); }

  void WriteInvoice(const std::string& uuid) {
    Db().Execute("insert into inv_request(inv_uuid, ext_filename) values(?, ?)",
                 {uuid, std::string("INV_NS_") + uuid + ".csv"});
  }

  static std::vector<std::string> Invoices(Database& database) {
    std::vector<std::string> uuids;
    for (const Row& row : database.Query("select inv_uuid from inv_request order by inv_uuid")) {
      uuids.push_back(row[0].AsString());
    }
    return uuids;
  }

  std::vector<std::string> BackupFolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_backupDir))
      names.push_back(entry.path().filename().string());
    return names;
  }

  testing::TestDatabase m_database;
  fs::path m_backupDir;
};

TEST_F(DatabaseBackupTest, TheCopyOfTheOpenDatabaseOpensAndHoldsWhatWasCommittedBeforeIt) {
  WriteInvoice("a-committed");
  {
    // Work in flight during the backup: neither it nor what comes after the backup is in the copy.
    Database::Transaction open(Db());
    WriteInvoice("b-uncommitted");
    BackupDatabaseFile(Database::Options::For(m_database.Path()), Target());
    open.Commit();
  }
  WriteInvoice("c-after");

  EXPECT_EQ(BackupFolderEntries(), std::vector<std::string>{"TELVANO_2024-03-01.mlf"});
  auto copy = Database::Attach(Database::Options::For(Target()));
  EXPECT_EQ(Invoices(*copy), std::vector<std::string>{"a-committed"});
  EXPECT_EQ(copy->QueryFirst("select mon$backup_state from mon$database")->operator[](0).AsInt64(), 0);
  copy->Execute("insert into inv_request(inv_uuid) values('d-in-the-copy')");  // an ordinary database

  // The database itself left the backup lock and kept everything.
  EXPECT_EQ(Db().QueryFirst("select mon$backup_state from mon$database")->operator[](0).AsInt64(), 0);
  EXPECT_EQ(Invoices(Db()), (std::vector<std::string>{"a-committed", "b-uncommitted", "c-after"}));
}

TEST_F(DatabaseBackupTest, ASecondBackupOfTheSameNameReplacesTheFirst) {
  WriteInvoice("first");
  BackupDatabaseFile(Database::Options::For(m_database.Path()), Target());
  WriteInvoice("second");
  BackupDatabaseFile(Database::Options::For(m_database.Path()), Target());
  EXPECT_EQ(BackupFolderEntries(), std::vector<std::string>{"TELVANO_2024-03-01.mlf"});
  auto copy = Database::Attach(Database::Options::For(Target()));
  EXPECT_EQ(Invoices(*copy), (std::vector<std::string>{"first", "second"}));
}

TEST_F(DatabaseBackupTest, AFailedBackupRaisesAndLeavesNoFileBehind) {
  const Database::Options source = Database::Options::For(m_database.Path());
  EXPECT_THROW(BackupDatabaseFile(source, (m_database.Folder().Path() / "NoSuchFolder" / "x.mlf").string()),
               platform::FileError);

  EXPECT_THROW(BackupDatabaseFile(Database::Options::For(m_database.Folder() / "missing.fdb"), Target()),
               DbError);
  EXPECT_TRUE(BackupFolderEntries().empty());

  // Someone else holds the backup lock: Firebird's refusal comes back as it is.
  Db().Execute("alter database begin backup");
  try {
    BackupDatabaseFile(source, Target());
    ADD_FAILURE() << "a backup under another backup lock was reported as done";
  } catch (const DbError& error) {
    EXPECT_NE(std::string(error.what()).find("backup"), std::string::npos) << error.what();
  }
  Db().Execute("alter database end backup");
  EXPECT_TRUE(BackupFolderEntries().empty());

  // Leftovers of an interrupted run do not stand in the way of the next one.
  platform::WriteFileDurably((m_backupDir / ".TELVANO_2024-03-01.mlf.nbk").string(), "half");
  platform::WriteFileDurably((m_backupDir / ".TELVANO_2024-03-01.mlf.part").string(), "half");
  BackupDatabaseFile(source, Target());
  EXPECT_EQ(BackupFolderEntries(), std::vector<std::string>{"TELVANO_2024-03-01.mlf"});
}

}  // namespace
}  // namespace telvano::db
