#include "platform/directory_listing.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace telvano::platform {
namespace {

TEST(DirectoryListing, OnlyRegularVisibleMatchingFilesWithNamesAsFound) {
  telvano::testing::TempDir folder;
  for (const char* name : {"INV_NS_1.csv", "inv_ps_2.CSV", ".INV_hidden.csv", "CMD_3.csv", "INV_x.txt"})
    telvano::testing::WriteFileBytes(folder.Path() / name, "x");
  std::filesystem::create_directory(folder.Path() / "INV_folder.csv");
  ASSERT_EQ(mkfifo((folder / "INV_fifo.csv").c_str(), 0600), 0);
  std::filesystem::create_symlink(folder.Path() / "INV_NS_1.csv", folder.Path() / "INV_link.csv");

  std::vector<std::string> names = ListFiles(folder.Path().string(), "INV_*.csv");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"INV_NS_1.csv", "inv_ps_2.CSV"}));

  auto entries = ListDirectory(folder.Path().string());
  EXPECT_EQ(entries.size(), 8u);
  for (const DirectoryEntry& entry : entries) {
    if (entry.name == ".INV_hidden.csv") {
      EXPECT_TRUE(entry.hidden);
    } else if (entry.name == "INV_fifo.csv" || entry.name == "INV_link.csv") {
      EXPECT_TRUE(entry.system) << entry.name;
    } else if (entry.name == "INV_folder.csv") {
      EXPECT_TRUE(entry.directory && !entry.system);
    } else {
      EXPECT_FALSE(entry.hidden || entry.system || entry.directory) << entry.name;
    }
  }
  EXPECT_THROW(ListDirectory((folder / "missing")), std::system_error);
}

TEST(DirectoryListing, PatternsIgnoreCaseByUnicodeRules) {
  EXPECT_TRUE(MatchesPattern("inv_ns_000123.CSV", "*.csv"));
  EXPECT_TRUE(MatchesPattern("inv_ns_000123.csv", "INV_*"));
  EXPECT_TRUE(MatchesPattern("SCRIPT_001.SQL", "Script_*.sql"));
  EXPECT_TRUE(MatchesPattern("račun_Ђ.csv", "RAČUN_?.CSV"));  // "?" is one character, not one byte
  EXPECT_TRUE(MatchesPattern("a.csv.csv", "*.csv"));
  EXPECT_TRUE(MatchesPattern("x", "*"));
  EXPECT_FALSE(MatchesPattern("INV_1.csv.bak", "*.csv"));
  EXPECT_FALSE(MatchesPattern("XINV_1.csv", "INV_*"));
  EXPECT_FALSE(MatchesPattern("Script.sql", "Script_*.sql"));
  EXPECT_FALSE(MatchesPattern("", "?"));
}

}  // namespace
}  // namespace telvano::platform
