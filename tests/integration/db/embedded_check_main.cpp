// Opens Firebird embedded the way the program does, in a process of its own: creates the database named
// on the command line with its schema, writes and reads a setting. Exit code 0 and "ok" when all worked.
#include "db/database.h"
#include "db/embedded_access.h"
#include "db/schema.h"
#include "db/settings.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  try {
    std::string lockFolder = telvano::db::PrepareEmbeddedAccess();
    auto options = telvano::db::Database::Options::For(argv[1]);
    options.forcedWrites = false;  // only access is checked here; spare the disk
    auto database = telvano::db::Database::Create(options);
    telvano::db::CreateSchema(*database);
    telvano::db::WriteSetting(*database, "check", "ćao");
    if (telvano::db::ReadSetting(*database, "CHECK") != "ćao") return 3;
    std::printf("ok lock=%s\n", lockFolder.empty() ? "(default)" : lockFolder.c_str());
    return 0;
  } catch (const std::exception& error) {
    std::printf("failed: %s\n", error.what());
    return 1;
  }
}
