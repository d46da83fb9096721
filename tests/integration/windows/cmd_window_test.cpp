// The command window on the real command module: caption, the file offered, the box after the click, and
// a response that could not be written reported as such.
#include <gtest/gtest.h>

#include <filesystem>

#include "../../unit/windows/window_fakes.h"
#include "../cmd/cmd_fixture.h"

namespace telvano::cmd::testing {
namespace {

namespace fs = std::filesystem;

class CmdWindowTest : public ::testing::Test, public CmdFixture {
 protected:
  CmdWindowTest() { m_cmd.AttachView(m_view, m_info); }

  ::telvano::testing::RecordingFileView m_view;
  ::telvano::testing::RecordingInfo m_info;
};

TEST_F(CmdWindowTest, ShowsTheCaptionAndTheFirstCommandFileAndRunsItOnTheClick) {
  telvano::testing::WriteFileBytes(In("CMD_2.csv"), "HELLO-TELVANO,\r\n");
  telvano::testing::WriteFileBytes(In("cmd_1.csv"), "HELLO-TELVANO,\r\n");
  telvano::testing::WriteFileBytes(In("INV_NS_1.csv"), "not offered here");
  m_view.operatorScript = [this] { m_view.ClickPanel1(); };
  m_cmd.ShowModal();
  const std::vector<std::string> events = {"caption:TELVANO r10.0.023 | YJLQTEQR---DEV-LPFR-" + m_simulator->BaseUrl(),
                                           "panel:cmd_1.csv", "exec", "panel:"};
  EXPECT_EQ(m_view.events, events);
  EXPECT_EQ(telvano::testing::ReadFileBytes(Out("cmd_1_resp.txt")), std::string("ACTIVE/AKTIVAN,") + kNow + "\r\n");
  EXPECT_TRUE(fs::exists(In("CMD_2.csv")));
  EXPECT_EQ(m_info.shown, std::vector<std::string>{"info:CMD je obrađen!\n\nOdgovor je u "
                                                   "\\TELVANO\\ExchData\\SDC_Out"});
}

TEST_F(CmdWindowTest, AResponseThatCannotBeWrittenIsNotReportedAsDone) {
  telvano::testing::WriteFileBytes(In("CMD_1.csv"), "HELLO-TELVANO,\r\n");
  fs::remove_all(m_root.Path() / "SDC_Out");
  m_cmd.FormShow();
  m_cmd.Panel1Click();
  ASSERT_EQ(m_info.shown.size(), 1u);
  EXPECT_EQ(m_info.shown[0].rfind("info:Cannot write the response file", 0), 0u) << m_info.shown[0];
}

}  // namespace
}  // namespace telvano::cmd::testing
