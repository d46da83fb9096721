#include "support/test_database.h"

#include "db/invoice_flight_schema.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <unistd.h>

namespace telvano::testing {

namespace {

namespace fs = std::filesystem;

// A name that changes whenever the schema's statements change, so a stale template is never used.
std::string TemplateName(db::SchemaLevel level) {
  std::string all;
  for (const std::string& statement : db::BaseSchemaStatements()) all += statement + ";";
  for (const db::UpgradeStep& step : db::UpgradeSteps())
    for (const std::string& statement : step.statements) all += statement + ";";
  all += db::InvoiceFlightColumnsMark();
  return "template-" + std::to_string(static_cast<int>(level)) + "-" + std::to_string(std::hash<std::string>{}(all)) +
         ".fdb";
}

// Where finished templates are kept: below the build folder when the tests run under CTest (shared by
// all test processes of the build), else in a folder of this process.
fs::path BuildFolder() {
  if (const char* build = std::getenv("TELVANO_BUILD_DIR"); build && *build) return build;
  // The test program lives somewhere below the build folder, which holds CMakeCache.txt.
  std::error_code error;
  fs::path folder = fs::read_symlink("/proc/self/exe", error).parent_path();
  for (; !error && !folder.empty() && folder != folder.root_path(); folder = folder.parent_path())
    if (fs::exists(folder / "CMakeCache.txt")) return folder;
  return {};
}

fs::path TemplateFolder() {
  if (fs::path build = BuildFolder(); !build.empty()) {
    fs::path folder = build / "test-db-templates";
    std::error_code error;
    fs::create_directories(folder, error);
    if (!error) return folder;
  }
  static TempDir processFolder;
  return processFolder.Path();
}

// Creating a database and its schema costs seconds (dozens of DDL commits); copying a finished file costs
// milliseconds. So a template per level is built once, without forced writes, and every TestDatabase
// starts as a copy of it. A template appears under its final name only when complete (rename).
std::string TemplateFor(db::SchemaLevel level) {
  static std::map<db::SchemaLevel, std::string> known;
  if (auto found = known.find(level); found != known.end()) return found->second;
  fs::path path = TemplateFolder() / TemplateName(level);
  if (!fs::exists(path)) {
    fs::path building = path;
    building += "." + std::to_string(getpid()) + ".building";
    fs::remove(building);
    auto options = db::Database::Options::For(building.string());
    options.forcedWrites = false;
    {
      auto database = db::Database::Create(options);
      db::CreateSchema(*database, level);
    }
    fs::rename(building, path);
  }
  return known.emplace(level, path.string()).first->second;
}

}  // namespace

TestDatabase::TestDatabase(db::SchemaLevel level) : m_path(m_folder / "telvano.fdb") {
  fs::copy_file(TemplateFor(level), m_path);
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
