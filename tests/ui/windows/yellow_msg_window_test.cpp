#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "core/log_writer.h"
#include "core/tform_yellow_msg.h"
#include "qt_test_app.h"
#include "support/temp_dir.h"
#include "ui/yellow_msg_window.h"

namespace telvano::testing {
namespace {

class YellowMsgWindowTest : public WithQtApp, public ::testing::Test {
 protected:
  YellowMsgWindowTest() : log(configuration, clock) {
    std::filesystem::create_directory(dir.Path() / "Logs");
    configuration.LogsDir = dir / "Logs";
    messages = std::make_unique<core::TFormYellowMsg>(configuration, state, clock, log, window);
  }

  // Runs `action` once the modal window is up; fails the test rather than hang when the window stays open.
  void WhileShown(std::function<void()> action) {
    QTimer::singleShot(50, &window, std::move(action));
    QTimer::singleShot(10000, &window, [this] {
      ADD_FAILURE() << "the message window did not close";
      window.close();
    });
  }

  std::string Log() const { return ReadFileBytes(dir.Path() / "Logs" / "TELVANO_log.txt"); }

  TempDir dir;
  core::Configuration configuration;
  core::WorkingState state;
  platform::ManualClock clock;
  core::LogWriter log;
  ui::YellowMsgWindow window;
  std::unique_ptr<core::TFormYellowMsg> messages;
};

TEST_F(YellowMsgWindowTest, AFatalMessageIsPaintedRedWithItsCaptionsAndClosesOnAnyKey) {
  WhileShown([this] {
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "TELVANO");
    EXPECT_EQ(window.LabelTitle()->text(), "TELVANO - Poruka / Message:   1002");
    EXPECT_EQ(window.PanelType()->text(), "GREŠKA / ERROR");
    EXPECT_EQ(window.PanelOk()->text(), "ZATVORI PROGRAM / CLOSE PROGRAM");
    EXPECT_TRUE(window.PanelOk()->styleSheet().contains("#ff0000"));
    EXPECT_TRUE(window.LabelMsgLng()->text().startsWith("PROGRAM SE GASI, NE POSTOJE USLOVI ZA RAD!\n\n"));
    EXPECT_TRUE(window.LabelMsgLng()->text().endsWith("TELVANO baza podataka nečitljiva!"));
    EXPECT_TRUE(window.LabelMsgEng()->text().endsWith("TELVANO database can not be read!"));
    EXPECT_TRUE(window.LabelInfo()->text().startsWith("Info: 2024-03-01 08:15:02"));
    QTest::keyClick(&window, Qt::Key_Space);
  });
  messages->ShowMessageNo(2);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(Log(), "2024-03-01 08:15:02 TELVANO database can not be read!\r\n");
}

TEST_F(YellowMsgWindowTest, AWarningClosesOnAClickOnPanelOk) {
  WhileShown([this] {
    EXPECT_EQ(window.PanelType()->text(), "UPOZORENJE / WARNING");
    EXPECT_EQ(window.PanelOk()->text(), "OK / POTVRDI");
    EXPECT_TRUE(window.PanelOk()->styleSheet().contains("#ffff00"));
    QTest::mouseClick(window.PanelOk(), Qt::LeftButton);
  });
  messages->ShowMessageText(22, "Srpski tekst", "English text");
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.LabelMsgEng()->text(), "English text");
}

TEST_F(YellowMsgWindowTest, TheReadyMessageClosesByItself) {
  EXPECT_EQ(window.TimerReady()->interval(), 3000);
  window.TimerReady()->setInterval(100);  // the same timer, shortened so the test stays quick
  QTimer::singleShot(10000, &window, [this] {
    ADD_FAILURE() << "the ready message did not close by itself";
    window.close();
  });
  QElapsedTimer elapsed;
  elapsed.start();
  messages->ShowMessageNo(31);
  EXPECT_LT(elapsed.elapsed(), 5000);
  EXPECT_EQ(window.PanelType()->text(), "OBAVEŠTENJE / INFO");
  EXPECT_TRUE(window.LabelMsgEng()->text().startsWith("READY TO USE"));
  EXPECT_EQ(Log(), "2024-03-01 08:15:02 READY TO USE\r\n");
}

TEST_F(YellowMsgWindowTest, OtherMessagesDoNotArmTheReadyTimer) {
  window.TimerReady()->setInterval(100);
  QElapsedTimer elapsed;
  elapsed.start();
  WhileShown([this] {
    QTest::qWait(400);  // well past the shortened ready time: the window must still be open
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Return);
  });
  messages->ShowMessageNo(30);
  EXPECT_GE(elapsed.elapsed(), 400);
}

}  // namespace
}  // namespace telvano::testing
