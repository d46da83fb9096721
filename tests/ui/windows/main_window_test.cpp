#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "qt_test_app.h"
#include "ui/main_window.h"

namespace telvano::testing {
namespace {

class MainWindowTest : public WithQtApp, public ::testing::Test {
 protected:
  MainWindowTest() : window(false) {
    window.SetHandlers({[this] { ++ticks; }, [this] { ++balloons; }, [this] { ++exits; },
                        [this](char key) { keys.push_back(key); }});
  }

  ui::MainWindow window;
  int ticks = 0;
  int balloons = 0;
  int exits = 0;
  std::string keys;
};

TEST_F(MainWindowTest, DigitsAndPanelClicksReachTheMenuAndTheSubMenuIsShown) {
  app::MenuScreen screen;
  screen.level = 3;
  screen.itemCaptions = app::MenuItemCaptions(3);
  screen.itemsVisible = true;
  screen.homeVisible = false;
  window.ShowMenu(screen);
  auto* test = window.findChild<QPushButton*>("PanelTest");
  auto* item = window.findChild<QPushButton*>("Panel9");
  ASSERT_NE(test, nullptr);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text().toStdString(), "9. Računi JSON");
  EXPECT_TRUE(item->isVisible());
  EXPECT_FALSE(window.findChild<QWidget*>("PanelText")->isVisible());
  EXPECT_NE(test->styleSheet().indexOf("#87CEEB"), -1);  // the sub-menu on screen is sky blue
  QTest::keyClick(&window, Qt::Key_7);
  QTest::mouseClick(item, Qt::LeftButton);
  QTest::mouseClick(window.findChild<QPushButton*>("PanelExit"), Qt::LeftButton);
  EXPECT_EQ(keys, "790");
}

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
  window.ShowMenu(app::MenuScreen{});
  EXPECT_TRUE(window.isVisible());
  window.SetPanelsVisible(false);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.TrayIcon1(), nullptr);  // no tray was asked for: the program still runs
}

}  // namespace
}  // namespace telvano::testing
