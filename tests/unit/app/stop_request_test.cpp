// A request waiting on the processor is given up once the program is asked to end.
#include "app/stop_request.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace telvano::app {
namespace {

TEST(StopRequest, ASignalOrAWaitingStopCommandWhileThePollerRuns) {
  telvano::testing::TempDir input;
  bool signal = false;
  bool polling = false;
  StopRequest stop(input.Path().string(), "UTF-8", [&] { return signal; }, [&] { return polling; });
  telvano::testing::WriteFileBytes(input / "CMD_0001.csv", "HELLO-TELVANO,1\r\nstop-telvano,\r\n");
  EXPECT_FALSE(stop());  // left from before the start: the poller answers it as usual
  signal = true;
  EXPECT_TRUE(stop());
  signal = false;
  polling = true;
  EXPECT_TRUE(stop());
}

TEST(StopRequest, OtherFilesAskNothing) {
  telvano::testing::TempDir input;
  StopRequest stop(input.Path().string(), "UTF-8", {}, [] { return true; });
  telvano::testing::WriteFileBytes(input / "CMD_0001.csv", "HELLO-TELVANO,1\r\n");
  telvano::testing::WriteFileBytes(input / "INV_NS_1.csv", "STOP-TELVANO,\r\n");  // an invoice, not a command
  telvano::testing::WriteFileBytes(input / ".CMD_2.csv", "STOP-TELVANO,\r\n");    // hidden: still being made
  EXPECT_FALSE(stop());
  EXPECT_FALSE(AsksToStop(input / "missing.csv", "UTF-8"));
}

}  // namespace
}  // namespace telvano::app
