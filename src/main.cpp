// The `telvano` program: telvano [softkey] [pin] [serial]; without arguments the three may come from
// TELVANO_SOFTKEY, TELVANO_PIN and TELVANO_SERIAL (telvano.service), see app/start_arguments.h.
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/input_readiness.h"
#include "app/start_arguments.h"
#include "app/telvano_program.h"
#include "core/configuration.h"
#include "core/headless_yellow_msg_view.h"
#include "platform/clock.h"
#include "platform/file_probe.h"
#include "platform/journal_stream.h"
#include "platform/service_notify.h"
#include "platform/single_instance_lock.h"
#include "platform/stop_signals.h"
#include "ui/certificate_window.h"
#include "ui/change_password_window.h"
#include "ui/exec_script_window.h"
#include "ui/file_window.h"
#include "ui/login_window.h"
#include "ui/main_window.h"
#include "ui/request_wait_window.h"
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

// The registry error: the text and exit code 0 (under systemd the code of an abandoned start, so that the
// unit is not restarted into it). Without a screen it goes to stderr only.
int ReportRegistryError(const char* text, bool headless, int& argc, char** argv) {
  if (telvano::platform::StderrIsJournal()) {
    telvano::platform::WriteJournalLines(telvano::platform::Priority::Error, text);
  } else {
    std::fprintf(stderr, "%s\n", text);
  }
  if (!headless) {
    QApplication application(argc, argv);
    QMessageBox::critical(nullptr, "TELVANO", QString::fromUtf8(text));
  }
  return telvano::platform::ServiceNotifier().Enabled() ? telvano::app::kAbandonedStartExitCode : 0;
}

// A problem of the program itself, on stderr: with its priority when that is the journal.
void ReportProblem(const std::string& text, telvano::platform::Priority priority = telvano::platform::Priority::Error) {
  if (telvano::platform::StderrIsJournal()) {
    telvano::platform::WriteJournalLines(priority, text);
  } else {
    std::fprintf(stderr, "TELVANO: %s\n", text.c_str());
  }
}

// Under the journal Qt's own messages carry their priority too.
void JournalQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  using telvano::platform::Priority;
  const Priority priority = type == QtWarningMsg                                ? Priority::Warning
                            : (type == QtCriticalMsg || type == QtFatalMsg) ? Priority::Error
                                                                             : Priority::Information;
  telvano::platform::WriteJournalLines(priority, "Qt: " + message.toStdString());
}

// The POS hands over the software secret and the PIN or PAC on the command line, where every local user
// could read them in /proc/<pid>/cmdline and ps. Once they are copied, the originals are overwritten in
// place (the kernel shows that memory).
void HideArguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) std::memset(argv[i], 0, std::strlen(argv[i]));
}

// True when another program holds `lock`: this one then leaves at once. A lock that cannot be taken at all
// must not stop the POS's work: without a writable runtime folder the program runs unguarded, and without an
// ApplData folder the start-up reports the installation's fault itself.
bool LockHeldElsewhere(telvano::platform::SingleInstanceLock& lock) {
  try {
    return !lock.TryAcquire();
  } catch (const std::exception& error) {
    ReportProblem(error.what());
    return false;
  }
}

// The windows of the modules that have one, each attached to its module while the program runs.
struct ModuleWindows {
  explicit ModuleWindows(telvano::app::TelvanoProgram& program)
      : loginWindow(program.Login()),
        execScriptWindow(program.ExecScript()),
        changePasswordWindow(program.ChangePassword()),
        certificateWindow(program.Certificate()) {
    program.Login().AttachView(loginWindow);
    program.ExecScript().AttachView(execScriptWindow);
    program.ChangePassword().AttachView(changePasswordWindow);
    program.Certificate().AttachView(certificateWindow);
  }

  telvano::ui::LoginWindow loginWindow;
  telvano::ui::ExecScriptWindow execScriptWindow;
  telvano::ui::ChangePasswordWindow changePasswordWindow;
  telvano::ui::CertificateWindow certificateWindow;
};

// The main window's timer, tray icon, close and keys go to TFormMainTELVANO. A tick never starts while a stop
// signal waits: the program ends first.
void ConnectMainWindow(telvano::ui::MainWindow& mainWindow, telvano::app::TFormMainTELVANO& main) {
  mainWindow.SetHandlers({[&main] {
                            if (telvano::platform::StopSignalPending()) {
                              main.CloseTELVANOClick();
                            } else {
                              main.Timer1Timer();
                            }
                          }, [&main] { main.TrayIcon1Click(); },
                          [&main] { main.CloseTELVANOClick(); }, [&main](char key) { main.FormKeyPress(key); }});
}

// SIGINT and SIGTERM (read from `stopSignals`, a signalfd; -1: none) close the program as its own close does.
std::unique_ptr<QSocketNotifier> WatchStopSignals(int stopSignals, telvano::ui::MainWindow& mainWindow,
                                                  telvano::app::TFormMainTELVANO& main) {
  std::unique_ptr<QSocketNotifier> stopSignalNotifier;
  if (stopSignals >= 0) {
    stopSignalNotifier = std::make_unique<QSocketNotifier>(stopSignals, QSocketNotifier::Read);
    QObject::connect(stopSignalNotifier.get(), &QSocketNotifier::activated, &mainWindow,
                     [&main, stopSignals] {
                       signalfd_siginfo info{};
                       while (::read(stopSignals, &info, sizeof info) == sizeof info) {
                       }
                       main.CloseTELVANOClick();
                     });
  }
  return stopSignalNotifier;
}

// The modules and their windows, from the start-up in the message loop to the end of the program; returns
// the exit code.
int RunProgram(telvano::core::Configuration configuration, telvano::platform::SystemClock& clock,
               telvano::app::InputReadiness& inputReadiness, const std::vector<std::string>& arguments,
               telvano::ui::MainWindow& mainWindow, telvano::core::YellowMsgView& messageView, bool headless,
               int stopSignals, QApplication& application) {
  telvano::ui::FileWindow invoiceWindow(telvano::invoice::kInvoiceWindowForm);
  telvano::ui::FileWindow cmdWindow(telvano::cmd::kCmdWindowForm);
  telvano::ui::FileWindow jsonInvoiceWindow(telvano::invoice::kInvoiceJsonWindowForm);
  std::unique_ptr<telvano::ui::RequestWaitWindow> requestWait;
  if (!headless) requestWait = std::make_unique<telvano::ui::RequestWaitWindow>();
  telvano::app::TelvanoProgram program(std::move(configuration), clock,
                                       {mainWindow, messageView, &invoiceWindow, &cmdWindow, &jsonInvoiceWindow,
                                        requestWait.get()},
                                       headless, [&inputReadiness](const std::string& path) {
                                         return inputReadiness.StillBeingWritten(path);
                                       });
  const ModuleWindows moduleWindows(program);
  telvano::app::TFormMainTELVANO& main = program.Main();
  ConnectMainWindow(mainWindow, main);
  const std::unique_ptr<QSocketNotifier> stopSignalNotifier = WatchStopSignals(stopSignals, mainWindow, main);

  // The local API's requests are answered on this thread, one at a time, whenever it is free.
  QSocketNotifier apiNotifier(program.ApiWakeFd(), QSocketNotifier::Read);
  QObject::connect(&apiNotifier, &QSocketNotifier::activated, &mainWindow, [&program] { program.ServeApi(); });

  // The start-up runs once the message loop is up, as it does when the main window is first shown.
  QTimer::singleShot(0, &mainWindow, [&main, &arguments] {
    try {
      main.FormShow(arguments);
    } catch (const std::exception& error) {
      ReportProblem(error.what());
      main.AbandonStart();
    }
  });
  application.exec();
  program.Stopping();
  return main.StartAbandoned() && program.ServiceManaged() ? telvano::app::kAbandonedStartExitCode : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int stopSignals = telvano::platform::BlockStopSignals();
  const bool headless = RunsHeadless();
  const bool journal = telvano::platform::StderrIsJournal();
  if (journal) qInstallMessageHandler(JournalQtMessage);
  if (headless) setenv("QT_QPA_PLATFORM", "offscreen", 1);

  // A second instance leaves at once, without any window, message or log line. TELVANO_LOCK_DIR moves the
  // lock file (tests run several installations side by side).
  telvano::platform::SingleInstanceLock instanceLock(
      HasValue("TELVANO_LOCK_DIR") ? std::string(std::getenv("TELVANO_LOCK_DIR")) + "/TELVANO_Started.lock"
                                   : telvano::platform::DefaultInstanceLockPath());
  if (LockHeldElsewhere(instanceLock)) return 0;

  telvano::core::Configuration configuration;
  try {
    std::string warnings;
    configuration = telvano::core::LoadConfiguration(telvano::core::RegistryPath(), &warnings);
    if (!warnings.empty()) ReportProblem(warnings, telvano::platform::Priority::Warning);
  } catch (const telvano::core::RegistryError& error) {
    return ReportRegistryError(error.what(), headless, argc, argv);
  }
  // The same holds for the installation, before anything is written into it: a program started by another
  // user or with another lock folder on this installation leaves just as silently.
  telvano::platform::SingleInstanceLock installationLock(
      telvano::platform::InstallationLockPath(configuration.ApplDataDir));
  if (LockHeldElsewhere(installationLock)) return 0;

  telvano::platform::SystemClock clock;
  // Watched from now on, so that a file the POS writes during the start-up is seen being written.
  telvano::app::InputReadiness inputReadiness(configuration.InputDir, clock, telvano::platform::IsStillBeingWritten);
  const std::vector<std::string> arguments = telvano::app::StartArguments({argv + 1, argv + argc});
  HideArguments(argc, argv);
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);  // the message windows come and go; the tray icon stays

  telvano::ui::MainWindow mainWindow(!headless);
  telvano::ui::YellowMsgWindow yellowMsgWindow;
  // Under systemd the numbered messages reach the journal through the log, with their priorities.
  telvano::core::HeadlessYellowMsgView headlessMessages(std::cerr, journal);
  telvano::core::YellowMsgView& messageView =
      headless ? static_cast<telvano::core::YellowMsgView&>(headlessMessages) : yellowMsgWindow;

  try {
    return RunProgram(std::move(configuration), clock, inputReadiness, arguments, mainWindow, messageView, headless,
                      stopSignals, application);
  } catch (const std::exception& error) {
    ReportProblem(error.what());
    if (!headless) QMessageBox::critical(nullptr, "TELVANO", QString::fromUtf8(error.what()));
  }
  return 0;
}
