#pragma once

#include <string>

#include "app/menu_screen.h"

namespace telvano::app {

// What the main window, its tray icon and its timer show and do for TFormMainTELVANO.
class MainView {
 public:
  virtual ~MainView() = default;
  virtual void SetCaption(const std::string& text) = 0;
  // The first entry of the tray menu.
  virtual void SetTrayMenuCaption(const std::string& text) = 0;
  virtual void ShowTrayBalloon(const std::string& title, const std::string& text) = 0;
  // The main menu as `screen` says (level 0: the home screen); shows the main window.
  virtual void ShowMenu(const MenuScreen& screen) = 0;
  // All menu panels visible (interactive) or not (unattended: the window stays hidden).
  virtual void SetPanelsVisible(bool visible) = 0;
  virtual void SetTimerEnabled(bool enabled) = 0;
  // Ends the message loop once the current event has been handled.
  virtual void Terminate() = 0;
};

}  // namespace telvano::app
