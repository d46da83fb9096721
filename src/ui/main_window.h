#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

#include "app/main_view.h"

namespace telvano::ui {

// The main window of TELVANO: its caption, the home screen, the polling timer Timer1 and the tray icon
// TrayIcon1 with PopupMenu1. Clicks and ticks go to TFormMainTELVANO through the handlers set by the program.
class MainWindow final : public QMainWindow, public app::MainView {
 public:
  struct Handlers {
    std::function<void()> timer1Timer;
    std::function<void()> trayIcon1Click;
    std::function<void()> closeTELVANOClick;
  };

  explicit MainWindow(bool trayWanted);
  void SetHandlers(Handlers handlers) { m_handlers = std::move(handlers); }

  void SetCaption(const std::string& text) override;
  void SetTrayMenuCaption(const std::string& text) override;
  void ShowTrayBalloon(const std::string& title, const std::string& text) override;
  void ShowMenu(int level) override;
  void SetPanelsVisible(bool visible) override;
  void SetTimerEnabled(bool enabled) override;
  void Terminate() override;

  QTimer* Timer1() { return &m_timer1; }
  QSystemTrayIcon* TrayIcon1() { return m_trayIcon1; }
  QMenu* PopupMenu1() { return &m_popupMenu1; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  Handlers m_handlers;
  QTimer m_timer1;
  QMenu m_popupMenu1;
  QAction* m_versionEntry = nullptr;
  QAction* m_closeTELVANO = nullptr;
  QSystemTrayIcon* m_trayIcon1 = nullptr;
  QLabel* m_panelText = nullptr;
  bool m_terminating = false;
};

}  // namespace telvano::ui
