#include "platform/file_probe.h"

#include "child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace telvano::platform {
namespace {

TEST(FileProbe, FileHeldOpenForWritingByAnotherProcessIsStillBeingWritten) {
  telvano::testing::TempDir folder;
  const std::string path = folder / "INV_NS_000123.csv";
  telvano::testing::WriteFileBytes(path, "BLOCK_ITEMS\r\n");
  EXPECT_FALSE(IsStillBeingWritten(path));
  {
    testing::ChildProcess writer([&] {
      int fd = open(path.c_str(), O_WRONLY | O_APPEND);  // held until the child exits
      if (fd < 0 || write(fd, "more", 4) != 4) _exit(3);
    });
    writer.WaitUntilReady();
    EXPECT_TRUE(IsStillBeingWritten(path));
    writer.Finish();
  }
  EXPECT_FALSE(IsStillBeingWritten(path));
}

TEST(FileProbe, ReadersDoNotCountAndMissingFilesAreNotBusy) {
  telvano::testing::TempDir folder;
  const std::string path = folder / "CMD_1.csv";
  telvano::testing::WriteFileBytes(path, "x");
  testing::ChildProcess reader([&] {
    if (open(path.c_str(), O_RDONLY) < 0) _exit(3);
  });
  reader.WaitUntilReady();
  EXPECT_FALSE(IsStillBeingWritten(path));
  reader.Finish();
  EXPECT_FALSE(IsStillBeingWritten(folder / "missing.csv"));
}

}  // namespace
}  // namespace telvano::platform
