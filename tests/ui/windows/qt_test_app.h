#pragma once

#include <QApplication>
#include <cstdlib>

namespace telvano::testing {

// One QApplication for the whole test program, on the offscreen platform (no display needed).
inline QApplication& QtTestApp() {
  static int argc = 1;
  static char name[] = "telvano_ui_window_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    auto* application = new QApplication(argc, argv);
    application->setQuitOnLastWindowClosed(false);
    return application;
  }();
  return *app;
}

// Inherit it first: the QApplication then exists before any widget member of the fixture is built.
struct WithQtApp {
  WithQtApp() { QtTestApp(); }
};

}  // namespace telvano::testing
