#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "qt_test_app.h"
#include "ui/main_window.h"

namespace telvano::testing {
namespace {

class MainWindowTest : public WithQtApp, public ::testing::Test {
 protected:
  MainWindowTest() : window(false) {
    window.SetHandlers({[this] { ++ticks; }, [this] { ++balloons; }, [this] { ++exits; }});
  }

  ui::MainWindow window;
  int ticks = 0;
  int balloons = 0;
  int exits = 0;
};

TEST_F(MainWindowTest, TheTrayMenuHasTheVersionASeparatorAndTheExit) {
  window.SetTrayMenuCaption("TELVANO     r10.0.023");
  const QList<QAction*> entries = window.PopupMenu1()->actions();
  ASSERT_EQ(entries.size(), 3);
  EXPECT_EQ(entries[0]->text(), "TELVANO     r10.0.023");
  EXPECT_TRUE(entries[1]->isSeparator());
  EXPECT_EQ(entries[2]->text(), "Exit / Kraj rada");
  EXPECT_EQ(entries[2]->objectName(), "CloseTELVANO");
  entries[2]->trigger();
  EXPECT_EQ(exits, 1);
}

TEST_F(MainWindowTest, Timer1TicksEverySecondOnlyWhileEnabled) {
  EXPECT_EQ(window.Timer1()->interval(), 1000);
  EXPECT_FALSE(window.Timer1()->isActive());
  window.SetTimerEnabled(true);
  EXPECT_TRUE(window.Timer1()->isActive());
  window.SetTimerEnabled(false);
  EXPECT_FALSE(window.Timer1()->isActive());
}

TEST_F(MainWindowTest, TheCaptionAndTheHiddenWindowOfAnUnattendedRun) {
  window.SetCaption("TELVANO r10.0.023 | ");
  EXPECT_EQ(window.windowTitle(), "TELVANO r10.0.023 | ");
  window.ShowMenu(0);
  EXPECT_TRUE(window.isVisible());
  window.SetPanelsVisible(false);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.TrayIcon1(), nullptr);  // no tray was asked for: the program still runs
}

}  // namespace
}  // namespace telvano::testing
