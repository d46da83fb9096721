#include "support/test_database.h"

#include <filesystem>
#include <map>
#include <stdexcept>

namespace telvano::testing {

namespace {

// Creating a database and its schema costs seconds (dozens of DDL commits); copying a finished file costs
// milliseconds. So each test process builds one template per level, without forced writes, and every
// TestDatabase starts as a copy of it.
const std::string& TemplateFor(db::SchemaLevel level) {
  static TempDir templateFolder;
  static std::map<db::SchemaLevel, std::string> templates;
  auto found = templates.find(level);
  if (found != templates.end()) return found->second;
  std::string path = templateFolder / ("template-" + std::to_string(static_cast<int>(level)) + ".fdb");
  auto options = db::Database::Options::For(path);
  options.forcedWrites = false;
  {
    auto database = db::Database::Create(options);
    db::CreateSchema(*database, level);
  }
  return templates.emplace(level, path).first->second;
}

}  // namespace

TestDatabase::TestDatabase(db::SchemaLevel level) : m_path(m_folder / "telvano.fdb") {
  std::filesystem::copy_file(TemplateFor(level), m_path);
  m_database = db::Database::Attach(db::Database::Options::For(m_path));
}

TestDatabase::~TestDatabase() {
  // Detach before the folder goes away.
  m_database.reset();
}

db::Database& TestDatabase::Db() {
  if (!m_database) throw std::logic_error("the test database is closed");
  return *m_database;
}

void TestDatabase::Close() { m_database.reset(); }

void TestDatabase::Reopen() {
  if (!m_database) m_database = db::Database::Attach(db::Database::Options::For(m_path));
}

}  // namespace telvano::testing
