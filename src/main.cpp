// The `telvano` program: telvano [softkey] [pin] [serial]
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/telvano_program.h"
#include "core/configuration.h"
#include "core/headless_yellow_msg_view.h"
#include "platform/clock.h"
#include "platform/file_probe.h"
#include "platform/single_instance_lock.h"
#include "ui/login_window.h"
#include "ui/main_window.h"
#include "ui/yellow_msg_window.h"

namespace {

bool HasValue(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Without a screen the program runs on Qt's offscreen platform and nobody is waited for.
bool RunsHeadless() {
  if (const char* forced = std::getenv("TELVANO_HEADLESS"); forced != nullptr && std::string(forced) == "1") {
    return true;
  }
  return !HasValue("DISPLAY") && !HasValue("WAYLAND_DISPLAY");
}

// The registry error: the text and exit code 0. Without a screen it goes to stderr only.
int ReportRegistryError(const char* text, bool headless, int& argc, char** argv) {
  std::fprintf(stderr, "%s\n", text);
  if (!headless) {
    QApplication application(argc, argv);
    QMessageBox::critical(nullptr, "TELVANO", QString::fromUtf8(text));
  }
  return 0;
}

// Ctrl-C and SIGTERM end the program the way the tray's exit does: the signal handler only writes one byte
// into a socket pair, and the message loop picks it up.
int stopSignalSocket[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(stopSignalSocket[0], &byte, 1);
}

void InstallStopSignals() {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stopSignalSocket) != 0) return;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  const bool headless = RunsHeadless();
  if (headless) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  // A second instance leaves at once, without any window, message or log line. TELVANO_LOCK_DIR moves the
  // lock file (tests run several installations side by side).
  telvano::platform::SingleInstanceLock instanceLock(
      HasValue("TELVANO_LOCK_DIR") ? std::string(std::getenv("TELVANO_LOCK_DIR")) + "/TELVANO_Started.lock"
                                   : telvano::platform::DefaultInstanceLockPath());
  try {
    if (!instanceLock.TryAcquire()) return 0;
  } catch (const std::exception& error) {
    // A lock file that cannot be made at all (no writable runtime folder) must not stop the POS's work.
    std::fprintf(stderr, "TELVANO: %s\n", error.what());
  }

  telvano::core::Configuration configuration;
  try {
    std::string warnings;
    configuration = telvano::core::LoadConfiguration(telvano::core::RegistryPath(), &warnings);
    if (!warnings.empty()) std::fprintf(stderr, "TELVANO: %s\n", warnings.c_str());
  } catch (const telvano::core::RegistryError& error) {
    return ReportRegistryError(error.what(), headless, argc, argv);
  }

  const std::vector<std::string> arguments(argv + 1, argv + argc);
  InstallStopSignals();
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);  // the message windows come and go; the tray icon stays

  telvano::platform::SystemClock clock;
  telvano::ui::MainWindow mainWindow(!headless);
  telvano::ui::YellowMsgWindow yellowMsgWindow;
  telvano::core::HeadlessYellowMsgView headlessMessages;
  telvano::core::YellowMsgView& messageView =
      headless ? static_cast<telvano::core::YellowMsgView&>(headlessMessages) : yellowMsgWindow;

  try {
    telvano::app::TelvanoProgram program(std::move(configuration), clock, {mainWindow, messageView}, headless,
                                         telvano::platform::IsStillBeingWritten);
    telvano::ui::LoginWindow loginWindow(program.Login());
    program.Login().AttachView(loginWindow);
    telvano::app::TFormMainTELVANO& main = program.Main();
    mainWindow.SetHandlers({[&main] { main.Timer1Timer(); }, [&main] { main.TrayIcon1Click(); },
                            [&main] { main.CloseTELVANOClick(); }});

    std::unique_ptr<QSocketNotifier> stopSignals;
    if (stopSignalSocket[1] >= 0) {
      stopSignals = std::make_unique<QSocketNotifier>(stopSignalSocket[1], QSocketNotifier::Read);
      QObject::connect(stopSignals.get(), &QSocketNotifier::activated, &mainWindow, [&main] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(stopSignalSocket[1], &byte, 1);
        main.CloseTELVANOClick();
      });
    }

    // The start-up runs once the message loop is up, as it does when the main window is first shown.
    QTimer::singleShot(0, &mainWindow, [&main, &arguments] {
      try {
        main.FormShow(arguments);
      } catch (const std::exception& error) {
        std::fprintf(stderr, "TELVANO: %s\n", error.what());
        main.AbandonStart();
      }
    });
    application.exec();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "TELVANO: %s\n", error.what());
    if (!headless) QMessageBox::critical(nullptr, "TELVANO", QString::fromUtf8(error.what()));
  }
  return 0;
}
