// The command window on the real command module: caption, the file offered, the box after the click, and
// a response that could not be written reported as such.
#include <gtest/gtest.h>

#include <filesystem>

#include "../../unit/windows/window_fakes.h"
#include "../cmd/cmd_fixture.h"

namespace telvano::cmd::testing {
namespace {

namespace fs = std::filesystem;
using telvano::testing::WriteFileBytes;

// The window and its boxes outlive the module, which lets go of its window when it ends.
struct CmdWindowParts {
  telvano::testing::RecordingFileView view;
  telvano::testing::RecordingInfo info;
};

class CmdWindowTest : public ::testing::Test, public CmdWindowParts, public CmdFixture {};

TEST_F(CmdWindowTest, RunsTheFirstCommandFileAndSaysSoOnlyWhenTheResponseIsWritten) {
  m_cmd.AttachView(view, info);
  WriteFileBytes(In("CMD_2.csv"), "HELLO-TELVANO,\r\n");
  WriteFileBytes(In("cmd_1.csv"), "HELLO-TELVANO,\r\n");
  WriteFileBytes(In("INV_NS_1.csv"), "not offered here");
  view.operatorScript = [this] { view.ClickPanel1(); };
  m_cmd.ShowModal();
  const std::vector<std::string> events = {
      "caption:TELVANO r10.0.023 | YJLQTEQR---DEV-LPFR-" + m_simulator->BaseUrl(), "panel:cmd_1.csv", "exec",
      "panel:"};
  EXPECT_EQ(view.events, events);
  EXPECT_EQ(telvano::testing::ReadFileBytes(Out("cmd_1_resp.txt")),
            std::string("ACTIVE/AKTIVAN,") + kNow + "\r\n");
  EXPECT_EQ(info.shown,
            std::vector<std::string>{"info:CMD je obrađen!\n\nOdgovor je u " + m_configuration.OutputDir});

  fs::remove_all(m_root.Path() / "SDC_Out");
  m_cmd.ShowModal();
  ASSERT_EQ(info.shown.size(), 2u);
  EXPECT_EQ(info.shown[1].rfind("info:Cannot write the response file", 0), 0u) << info.shown[1];
}

}  // namespace
}  // namespace telvano::cmd::testing
