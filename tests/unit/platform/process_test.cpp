#include "platform/process.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace telvano::platform {
namespace {

TEST(Process, ChildInheritsNoOpenFilesBeyondTheStandardThree) {
  telvano::testing::TempDir folder;
  const std::string held = folder / "database.fdb";
  telvano::testing::WriteFileBytes(held, "x");
  int fd = open(held.c_str(), O_RDWR);  // deliberately without close-on-exec, like Firebird's files
  ASSERT_GE(fd, 0);
  std::string error;
  pid_t pid = StartDetached("/bin/sleep", {"30"}, &error);
  ASSERT_GT(pid, 0) << error;
  // posix_spawn returns after the exec, so the child's descriptor table is final here.
  bool inherited = false;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
    std::error_code ignored;
    if (std::filesystem::read_symlink(entry.path(), ignored) == held) inherited = true;
  }
  EXPECT_FALSE(inherited);
  EndProcess(pid);
  close(fd);
}

TEST(Process, MissingProgramIsReportedAndArgumentsAreNotInterpreted) {
  std::string error;
  EXPECT_EQ(StartDetached("/nonexistent/Vexo", {"a; rm -rf /"}, &error), -1);
  EXPECT_NE(error.find("/nonexistent/Vexo"), std::string::npos);
  EndProcess(-1);  // harmless
  EndProcess(0);   // never "the whole process group"
}

}  // namespace
}  // namespace telvano::platform
