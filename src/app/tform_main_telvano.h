#pragma once

#include <sys/types.h>
#include <functional>
#include <string>
#include <vector>

#include "app/input_scan.h"
#include "app/main_view.h"
#include "app/menu_actions.h"
#include "app/startup_services.h"
#include "app/tform_login.h"
#include "core/application_control.h"
#include "core/configuration.h"
#include "core/message_service.h"
#include "core/working_state.h"
#include "platform/clock.h"

namespace telvano::app {

inline constexpr const char* kCompanionArgument = "Dravicor_TELVANO";
inline constexpr const char* kConnectionErrorPrefix = "Connection error / Greška pri povezivanju\n\n";
inline constexpr const char* kNoDisplayText =
    "Interaktivni rad nije moguć bez ekrana!\n\n"
    "An interactive start needs a display: start TELVANO with the software key to run unattended.";

// The main module: the configuration and working state of the run, the start-up sequence, the poller of
// the input folder, the start and stop notices and the companion program. Created first; the modules it
// calls are attached once they exist, before the main window is first shown.
class TFormMainTELVANO final : public core::ApplicationControl {
 public:
  // Hands a bare file name of the input folder to the invoice pipeline or the command processor.
  using FileHandler = std::function<void(const std::string& bareName)>;
  // Appends one line to the program's log file.
  using LogWriter = std::function<void(const std::string& text)>;

  struct Modules {
    core::MessageService* messages = nullptr;
    StartupServices* services = nullptr;
    TFormLogin* login = nullptr;
    FileHandler processCsvInvoice;
    FileHandler processCmdFile;
    LogWriter appendLog;
    StillBeingWrittenProbe stillBeingWritten;
    // Runs before a tick looks for files (the database connection, the invoices still open); false: this
    // tick handles no file.
    std::function<bool()> prepareTick;
    // Files of invoices still open are not handed over.
    HeldInputTest inputHeld;
    // An entry with a qualifying name that is not a plain file: answered and moved aside.
    FileHandler rejectOddInput;
    // What the items of the operator's menu start.
    MenuActions* menuActions = nullptr;
    // The start has finished well: its notice says OK.
    std::function<void()> started;
  };

  TFormMainTELVANO(core::Configuration configuration, platform::Clock& clock, MainView& view, bool headless);

  void Attach(Modules modules);

  const core::Configuration& Configuration() const { return m_configuration; }
  core::WorkingState& WorkingState() { return m_workingState; }
  bool Headless() const { return m_headless; }
  bool Terminated() const { return m_terminated; }
  // The start failed and was abandoned ("ERR," in the start notice).
  bool StartAbandoned() const { return m_abandoned; }

  // The start-up sequence; runs once, when the main window is first shown. `arguments` are the
  // command-line parameters without the program name.
  void FormShow(const std::vector<std::string>& arguments);

  // The timer event: off while the tick works, on again afterwards unless the program is ending.
  void Timer1Timer();
  void PollOnce();

  void StartCompanion();
  void EndCompanion();
  void CleanArchive();
  void AbandonStart();

  // The operator's menu: every panel's click is the press of its digit. "0" ends the program, "1" to "4"
  // show a sub-menu, "5" to "9" run an item of the current one; other keys do nothing.
  void FormKeyPress(char key);
  void PanelClick(char tag) { FormKeyPress(tag); }
  void ShowMenu(int level);
  void RunMenuItem(int item);
  int MenuLevel() const { return m_menuLevel; }

  // The tray icon: a click shows the balloon; the menu's exit entry ends the program.
  void TrayIcon1Click();
  void CloseTELVANOClick();
  std::string TrayBalloonTitle() const;
  std::string TrayBalloonText() const;

  void RequestTerminate() override;
  void WriteStartStopNotice(bool isStart, bool ok) override;

  // "YYYY-MM-DDTHH:MM:SS+hh:mm" (or "Z") of the clock's local time.
  std::string LocalIsoTime() const;

 private:
  bool RunStartup(const std::vector<std::string>& arguments);
  bool RunInteractive();
  bool RunUnattended(const std::vector<std::string>& arguments);
  void Log(const std::string& text);

  core::Configuration m_configuration;
  core::WorkingState m_workingState;
  platform::Clock& m_clock;
  MainView& m_view;
  bool m_headless;
  Modules m_modules;
  bool m_shown = false;
  bool m_terminated = false;
  bool m_abandoned = false;
  pid_t m_companionPid = -1;
  int m_menuLevel = 0;
};

}  // namespace telvano::app
