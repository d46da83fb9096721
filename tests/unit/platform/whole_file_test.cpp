// The permissions of durably written files.
#include "platform/whole_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/temp_dir.h"

namespace telvano::platform {
namespace {

unsigned ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

TEST(WriteFileDurably, GivesTheAskedModeEvenOverALeftoverTemporaryFile) {
  const mode_t previous = ::umask(022);
  testing::TempDir folder;
  WriteFileDurably(folder / "list.csv", "a");
  EXPECT_EQ(ModeOf(folder / "list.csv"), 0644u);
  // A crash left the temporary name behind, readable by all: the key written over it is still private.
  testing::WriteFileBytes(folder.Path() / ".AB_key.pem.tmp", "old");
  ::chmod((folder / ".AB_key.pem.tmp").c_str(), 0666);
  WriteFileDurably(folder / "AB_key.pem", "key");
  EXPECT_EQ(ModeOf(folder / "AB_key.pem"), 0644u);
  testing::WriteFileBytes(folder.Path() / ".CD_key.pem.tmp", "old");
  ::chmod((folder / ".CD_key.pem.tmp").c_str(), 0666);
  WriteFileDurably(folder / "CD_key.pem", "key", 0600);
  EXPECT_EQ(ModeOf(folder / "CD_key.pem"), 0600u);
  EXPECT_EQ(testing::ReadFileBytes(folder.Path() / "CD_key.pem"), "key");
  ::umask(previous);
}

}  // namespace
}  // namespace telvano::platform
