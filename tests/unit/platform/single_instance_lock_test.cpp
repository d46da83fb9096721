#include "platform/single_instance_lock.h"

#include "child_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <system_error>

namespace telvano::platform {
namespace {

TEST(SingleInstanceLock, SecondHolderIsRefusedUntilTheFirstReleases) {
  telvano::testing::TempDir folder;
  SingleInstanceLock first(folder / "TELVANO_Started.lock");
  SingleInstanceLock second(folder / "TELVANO_Started.lock");
  EXPECT_TRUE(first.TryAcquire());
  EXPECT_TRUE(first.TryAcquire());  // holding it already
  EXPECT_FALSE(second.TryAcquire());
  EXPECT_FALSE(second.IsHeld());
  first.Release();
  EXPECT_TRUE(second.TryAcquire());
}

TEST(SingleInstanceLock, AnotherProcessHoldsItUntilItEnds) {
  telvano::testing::TempDir folder;
  const std::string path = folder / "TELVANO_Started.lock";
  SingleInstanceLock* childLock = nullptr;
  testing::ChildProcess child([&] {
    childLock = new SingleInstanceLock(path);  // lives until the child exits
    if (!childLock->TryAcquire()) _exit(3);
  });
  child.WaitUntilReady();
  SingleInstanceLock mine(path);
  EXPECT_FALSE(mine.TryAcquire());
  child.Finish();  // the kernel drops the lock with the process
  EXPECT_TRUE(mine.TryAcquire());
}

TEST(SingleInstanceLock, DefaultPathFollowsTheRuntimeFolderAndBadFolderThrows) {
  EXPECT_NE(DefaultInstanceLockPath().find("/TELVANO_Started.lock"), std::string::npos);
  SingleInstanceLock lock("/nonexistent-folder-for-telvano/TELVANO_Started.lock");
  EXPECT_THROW(lock.TryAcquire(), std::system_error);
}

}  // namespace
}  // namespace telvano::platform
