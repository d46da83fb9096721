#pragma once

#include "db/database.h"
#include "db/schema.h"
#include "support/temp_dir.h"

#include <memory>
#include <string>

namespace telvano::testing {

// A fresh embedded Firebird database with the full schema at `level`, in its own temporary folder.
// Everything (database file and folder) is removed when the object is destroyed.
// The embedded engine opens a database file exclusively: call Close() before another process (the
// telvano program, isql-fb) must open Path(), and Reopen() to use it here again afterwards.
class TestDatabase {
 public:
  explicit TestDatabase(db::SchemaLevel level = db::SchemaLevel::Ddl10_16);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  db::Database& Db();                    // throws when closed
  const std::string& Path() const { return m_path; }
  const TempDir& Folder() const { return m_folder; }
  void Close();
  void Reopen();

 private:
  TempDir m_folder;
  std::string m_path;
  std::unique_ptr<db::Database> m_database;
};

}  // namespace telvano::testing
