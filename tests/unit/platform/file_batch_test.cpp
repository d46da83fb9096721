#include "platform/file_batch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/whole_file.h"
#include "support/temp_dir.h"

namespace telvano::platform {
namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(FileBatch, FilesAppearOnlyWhenPublishedAndTheRestGoWithTheBatch) {
  const testing::TempDir dir;
  {
    FileBatch batch(dir.Path().string());
    batch.Stage("a.txt", "first");
    batch.Stage("b.txt", "second");
    batch.Stage("c.txt", "never published");
    EXPECT_EQ(Names(dir.Path()).count("a.txt"), 0u);  // staged under hidden temporary names only
    batch.SyncData();
    batch.Publish("a.txt");
    EXPECT_EQ(Names(dir.Path()).count("b.txt"), 0u);
    batch.Publish("b.txt");
    batch.Publish("not staged");  // ignored
    batch.SyncFolder();
  }
  EXPECT_EQ(Names(dir.Path()), (std::set<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(Read(dir.Path() / "a.txt"), "first");
  EXPECT_EQ(Read(dir.Path() / "b.txt"), "second");
}

TEST(FileBatch, APublishedFileReplacesAnEarlierOneWhole) {
  const testing::TempDir dir;
  WriteFileWhole((dir.Path() / "r.csv").string(), "old");
  FileBatch batch(dir.Path().string());
  batch.Stage("r.csv", "new");
  EXPECT_EQ(Read(dir.Path() / "r.csv"), "old");
  batch.Publish("r.csv");
  EXPECT_EQ(Read(dir.Path() / "r.csv"), "new");
}

TEST(FileBatch, FailuresNameTheFileAndLeaveNothingBehind) {
  const testing::TempDir dir;
  FileBatch missing((dir.Path() / "gone").string());
  EXPECT_THROW(missing.Stage("x.txt", "x"), FileError);
  EXPECT_THROW(missing.SyncData(), FileError);

  fs::create_directory(dir.Path() / "out");
  {
    FileBatch batch((dir.Path() / "out").string());
    batch.Stage("x.txt", "x");
    fs::create_directory(dir.Path() / "out" / "x.txt");  // a folder in the way: the rename fails
    fs::create_directory(dir.Path() / "out" / "x.txt" / "inside");
    try {
      batch.Publish("x.txt");
      ADD_FAILURE() << "the rename over a folder should fail";
    } catch (const FileError& error) {
      EXPECT_NE(std::string(error.what()).find("x.txt"), std::string::npos) << error.what();
    }
  }
  EXPECT_EQ(Names(dir.Path() / "out"), std::set<std::string>{"x.txt"});  // the temporary file went
}

}  // namespace
}  // namespace telvano::platform
