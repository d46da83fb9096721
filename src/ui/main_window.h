#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <array>
#include <functional>

#include "app/main_view.h"

namespace telvano::ui {

// The main window of TELVANO: its caption, the operator's menu (the left column of sub-menus, the right column
// of items, the home screen with the working certificate), the polling timer Timer1 and the tray icon
// TrayIcon1 with PopupMenu1. Keys, clicks and ticks go to TFormMainTELVANO through the handlers set by the
// program; a click on a panel is the press of its digit.
class MainWindow final : public QMainWindow, public app::MainView {
 public:
  struct Handlers {
    std::function<void()> timer1Timer;
    std::function<void()> trayIcon1Click;
    std::function<void()> closeTELVANOClick;
    std::function<void(char key)> formKeyPress;
  };

  explicit MainWindow(bool trayWanted);
  void SetHandlers(Handlers handlers) { m_handlers = std::move(handlers); }

  void SetCaption(const std::string& text) override;
  void SetTrayMenuCaption(const std::string& text) override;
  void ShowTrayBalloon(const std::string& title, const std::string& text) override;
  void ShowMenu(const app::MenuScreen& screen) override;
  void SetPanelsVisible(bool visible) override;
  void SetTimerEnabled(bool enabled) override;
  void Terminate() override;

  QTimer* Timer1() { return &m_timer1; }
  QSystemTrayIcon* TrayIcon1() { return m_trayIcon1; }
  QMenu* PopupMenu1() { return &m_popupMenu1; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  Handlers m_handlers;
  QTimer m_timer1;
  QMenu m_popupMenu1;
  QAction* m_versionEntry = nullptr;
  QAction* m_closeTELVANO = nullptr;
  QSystemTrayIcon* m_trayIcon1 = nullptr;
  QPushButton* AddPanel(QWidget* parent, const char* name, char digit, const QString& caption);
  QLabel* AddValue(QWidget* parent, const char* name);
  QVBoxLayout* BuildLevelColumn(QWidget* central);
  void BuildHomePanel(QWidget* central);
  void BuildItemColumn(QWidget* central);
  void BuildMenu();

  QWidget* m_panelText = nullptr;   // the home screen
  QWidget* m_itemColumn = nullptr;  // Panel5 to Panel9
  std::array<QPushButton*, 5> m_levelPanels{};  // PanelExit, PanelCERT, PanelReport, PanelTest, PanelUtil
  std::array<QPushButton*, 5> m_itemPanels{};   // Panel5 to Panel9
  QLabel* m_panelEnvironment = nullptr;
  QLabel* m_panelTin = nullptr;
  QLabel* m_panelCertSerNum = nullptr;
  QLabel* m_panelCertNotAfter = nullptr;
  QLabel* m_panelCertEnd = nullptr;  // the working certificate's end, in red, when it is near
  QLabel* m_panelOu = nullptr;
  bool m_terminating = false;
};

}  // namespace telvano::ui
