#include <gtest/gtest.h>

#include "cmd/tform_cmd.h"

namespace telvano::cmd {
namespace {

TEST(ResponseFileNameTest, TheLastFourCharactersGiveWayToResp) {
  EXPECT_EQ(TFormCmd::ResponseFileName("CMD_0001.csv"), "CMD_0001_resp.txt");
  EXPECT_EQ(TFormCmd::ResponseFileName("cmd_x.CSV"), "cmd_x_resp.txt");
  EXPECT_EQ(TFormCmd::ResponseFileName("CMD_Ђ.csv"), "CMD_Ђ_resp.txt");
  EXPECT_EQ(TFormCmd::ResponseFileName(".csv"), "_resp.txt");
  EXPECT_EQ(TFormCmd::ResponseFileName("abc"), "abc_resp.txt");
}

}  // namespace
}  // namespace telvano::cmd
