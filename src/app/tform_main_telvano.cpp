#include "app/tform_main_telvano.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "core/stored_secret.h"
#include "core/time_text.h"
#include "platform/process.h"
#include "platform/whole_file.h"

namespace telvano::app {

namespace {

namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kPauseAfterProbe{2000};

std::string Argument(const std::vector<std::string>& arguments, std::size_t index) {
  return index < arguments.size() ? arguments[index] : std::string();
}

}  // namespace

TFormMainTELVANO::TFormMainTELVANO(core::Configuration configuration, platform::Clock& clock, MainView& view,
                                   bool headless)
    : m_configuration(std::move(configuration)), m_clock(clock), m_view(view), m_headless(headless) {
  m_view.SetTimerEnabled(false);
}

void TFormMainTELVANO::Attach(Modules modules) { m_modules = std::move(modules); }

void TFormMainTELVANO::FormShow(const std::vector<std::string>& arguments) {
  if (m_shown) return;
  m_shown = true;
  if (m_modules.messages == nullptr || m_modules.services == nullptr || m_modules.login == nullptr) {
    throw std::logic_error("the modules are not attached to the main module");
  }
  if (!RunStartup(arguments)) return;

  StartupServices& services = *m_modules.services;
  m_view.SetCaption(services.WindowCaption());
  m_view.SetTrayMenuCaption("TELVANO     " + m_configuration.ProgramVersion);
  EndCompanion();
  if (m_workingState.Unattended) m_modules.messages->ShowMessageNo(31);
  try {
    WriteStartStopNotice(true, true);
  } catch (const std::exception& error) {
    // Without its notice the POS would wait for a start it cannot see: stop rather than poll unseen.
    Log(error.what());
    RequestTerminate();
    return;
  }
  if (m_modules.started) m_modules.started();
  if (!m_workingState.Unattended) ShowMenu(0);
  m_view.SetPanelsVisible(!m_workingState.Unattended);
  if (m_workingState.Unattended) m_view.SetTimerEnabled(true);
}

bool TFormMainTELVANO::RunStartup(const std::vector<std::string>& arguments) {
  StartupServices& services = *m_modules.services;
  core::MessageService& messages = *m_modules.messages;

  try {
    StartCompanion();
  } catch (const std::exception&) {
    // the companion is only a comfort for the user; the start goes on without it
  }
  services.LoadWorkingCertificate("CLEAR");
  try {
    services.ConnectDatabase();
    services.ProbeDatabase();
  } catch (const std::exception& error) {
    Log(error.what());  // Firebird's own reason, for whoever has to mend it
    messages.ShowMessageNo(2);
    AbandonStart();
    return false;
  }
  m_clock.Sleep(kPauseAfterProbe);
  try {
    services.CheckAndUpgradeSchema();
  } catch (const std::exception&) {
    AbandonStart();  // message 3 has been shown
    return false;
  }

  bool unattended = false;
  try {
    unattended = core::SameStoredSecret(core::StoredSecretForm(Argument(arguments, 0)),
                                        services.ReadSetting("SOFT_SECRET"));
  } catch (const std::exception&) {
    messages.ShowMessageNo(2);
    AbandonStart();
    return false;
  }
  m_workingState.Unattended = unattended;
  m_modules.login->SetVersionLabel("Dravicor d.o.o.   " + m_configuration.ProgramVersion);
  CleanArchive();
  return unattended ? RunUnattended(arguments) : RunInteractive();
}

bool TFormMainTELVANO::RunInteractive() {
  StartupServices& services = *m_modules.services;
  EndCompanion();
  if (m_headless) {
    // Nobody could answer the login window: refuse at once instead of waiting for ever.
    Log(kNoDisplayText);
    m_modules.messages->ShowInfo(kNoDisplayText);
    AbandonStart();
    return false;
  }
  if (!m_modules.login->ShowModal()) {
    AbandonStart();
    return false;
  }
  if (!m_workingState.WorkSerial.empty()) {
    try {
      services.LoadTaxGroups();
    } catch (const std::exception& error) {
      m_modules.messages->ShowInfo(error.what());
      AbandonStart();
      return false;
    }
  }
  return true;
}

bool TFormMainTELVANO::RunUnattended(const std::vector<std::string>& arguments) {
  StartupServices& services = *m_modules.services;
  core::MessageService& messages = *m_modules.messages;
  try {
    services.LoadWorkingCertificate(Argument(arguments, 2));
  } catch (const std::exception& error) {
    Log(error.what());  // a database error here leaves no working certificate: message 5 follows
  }
  if (m_workingState.WorkSerial.empty()) {
    messages.ShowMessageNo(5);
    AbandonStart();
    return false;
  }
  try {
    // The PIN or PAC is in place before the first request: a virtual processor wants its PAC with every
    // request, the availability check included.
    m_workingState.WorkPin = Argument(arguments, 1);
    services.CheckAttention();
    if (m_workingState.WorkIsLpfr) {
      services.CheckLpfrStatus();
      if (services.GetProcessorUid() != m_workingState.WorkSerial) {
        messages.ShowMessageNo(16);
        AbandonStart();
        return false;
      }
      services.SendPin();
      try {
        services.LoadTaxGroups();
      } catch (const std::exception& error) {
        messages.ShowInfo(error.what());
        throw;
      }
    } else {
      services.CheckVpfrPac();
      try {
        services.LoadTaxGroups();
      } catch (const std::exception& error) {
        messages.ShowInfo(error.what());
        throw;
      }
      try {
        services.CreateTestInvoice();
      } catch (const std::exception& error) {
        messages.ShowInfo(std::string(kConnectionErrorPrefix) + error.what());
        throw;
      }
    }
  } catch (const std::exception&) {
    AbandonStart();
    return false;
  }
  // What the last run left open is finished before the first new file is taken.
  try {
    services.ResolveOpenInvoices();
  } catch (const std::exception& error) {
    Log(error.what());  // the ticks try again
  }
  return true;
}

void TFormMainTELVANO::AbandonStart() {
  m_abandoned = true;
  try {
    WriteStartStopNotice(true, false);
  } catch (const std::exception& error) {
    Log(error.what());
  }
  RequestTerminate();
}

void TFormMainTELVANO::Timer1Timer() {
  m_view.SetTimerEnabled(false);
  try {
    PollOnce();
  } catch (const std::exception& error) {
    // A handler that lets an error escape must not stop the POS's traffic for good: note it and go on.
    Log(std::string("Poll error: ") + error.what());
  } catch (...) {
    Log("Poll error: unknown");
  }
  if (!m_terminated) m_view.SetTimerEnabled(true);
}

void TFormMainTELVANO::PollOnce() {
  if (m_modules.prepareTick && !m_modules.prepareTick()) return;
  const InputScan scan = ScanInputFolder(m_configuration.InputDir, m_modules.stillBeingWritten, m_modules.inputHeld);
  if (m_modules.rejectOddInput) {
    for (const std::string& odd : scan.odd) m_modules.rejectOddInput(odd);
  }
  if (!scan.next) return;
  const FileHandler& handler = IsInvoiceName(*scan.next) ? m_modules.processCsvInvoice : m_modules.processCmdFile;
  if (handler) handler(*scan.next);
}

void TFormMainTELVANO::StartCompanion() {
  const fs::path program = fs::path(m_configuration.RunTimeDir) / "Vexo";
  std::error_code error;
  if (m_companionPid > 0 || !fs::is_regular_file(program, error)) return;
  std::string why;
  const pid_t pid = platform::StartDetached(program.string(), {kCompanionArgument}, &why);
  if (pid > 0) {
    m_companionPid = pid;
  } else if (!why.empty()) {
    Log(why);
  }
}

void TFormMainTELVANO::EndCompanion() {
  if (m_companionPid <= 0) return;
  platform::EndProcess(m_companionPid);
  m_companionPid = -1;
}

void TFormMainTELVANO::CleanArchive() {
  std::error_code error;
  fs::directory_iterator it(m_configuration.ArchiveDir, error);
  if (error) return;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    const std::string name = it->path().filename().string();
    std::error_code statusError;
    if (name.front() == '.' || !it->is_regular_file(statusError) || statusError) continue;
    if (name.find('.') != std::string::npos) continue;  // files with an extension stay
    fs::remove(it->path(), statusError);                // a file that cannot go simply stays
  }
}

void TFormMainTELVANO::FormKeyPress(char key) {
  if (key == '0') {
    RequestTerminate();  // the start notice stays as it was written
  } else if (key >= '1' && key <= '4') {
    ShowMenu(key - '0');
  } else if (key >= '5' && key <= '9') {
    RunMenuItem(key - '0');
  }
}

void TFormMainTELVANO::ShowMenu(int level) {
  if (level < 0 || level > 4) return;
  if (level == 3 && m_workingState.WorkSerial.empty()) {
    // The tests need a processor: the sub-menu on screen stays as it was.
    if (m_modules.messages != nullptr) m_modules.messages->ShowInfo(kNoWorkingCertificateText);
    return;
  }
  MenuScreen screen;
  screen.level = level;
  screen.itemCaptions = MenuItemCaptions(level);
  screen.itemsVisible = level != 0;
  screen.homeVisible = level == 0;
  screen.environment = m_workingState.WorkEnv;
  screen.tin = m_workingState.WorkTin;
  screen.unit = m_workingState.WorkUnit;
  screen.certSerial = m_workingState.WorkSerial;
  screen.certNotAfter =
      m_modules.menuActions != nullptr ? m_modules.menuActions->CertificateEndText() : m_workingState.WorkNotAfter;
  if (m_modules.menuActions != nullptr) screen.certEndWarning = m_modules.menuActions->CertificateEndWarning();
  m_menuLevel = level;
  m_view.ShowMenu(screen);
}

void TFormMainTELVANO::RunMenuItem(int item) {
  MenuActions* actions = m_modules.menuActions;
  if (actions == nullptr) return;
  switch (m_menuLevel * 10 + item) {
    case 15: actions->ShowWorkingCertificate(); break;
    case 16: actions->ExportCertificateList(); break;
    case 35: actions->ShowCommandWindow(); break;
    case 36: actions->ShowInvoiceWindow(); break;
    case 37: actions->SaveProcessorInfo(1); break;
    case 38: actions->SaveProcessorInfo(3); break;
    case 39: actions->ShowJsonInvoiceWindow(); break;
    case 45: actions->ShowChangePassword(); break;
    case 47: actions->ShowExecScript(); break;
    case 48: actions->BackupDatabase(); break;
    case 49: actions->StartProgramUpdate(); break;
    default: break;  // the reports of level 2 are made through command files; empty items do nothing
  }
}

void TFormMainTELVANO::TrayIcon1Click() { m_view.ShowTrayBalloon(TrayBalloonTitle(), TrayBalloonText()); }

void TFormMainTELVANO::CloseTELVANOClick() { RequestTerminate(); }

std::string TFormMainTELVANO::TrayBalloonTitle() const {
  if (m_workingState.WorkSerial.empty()) return {};
  return m_workingState.WorkSerial + " - " + m_workingState.WorkEnv;
}

std::string TFormMainTELVANO::TrayBalloonText() const {
  if (m_workingState.WorkSerial.empty()) return {};
  return m_workingState.WorkTin + " - " + m_workingState.WorkUnit + " - " +
         (m_workingState.WorkIsLpfr ? "LPFR" : "VPFR") + "\n" + m_workingState.WorkUrl;
}

void TFormMainTELVANO::RequestTerminate() {
  m_terminated = true;
  m_view.SetTimerEnabled(false);
  EndCompanion();
  m_view.Terminate();
}

void TFormMainTELVANO::WriteStartStopNotice(bool isStart, bool ok) {
  const fs::path file = fs::path(m_configuration.OutputDir) / (isStart ? "start_info.txt" : "stop_info.txt");
  // Written whole under a temporary name: the POS never reads a notice that is only half there.
  platform::WriteFileDurably(file.string(), std::string("\xEF\xBB\xBF") + (ok ? "OK," : "ERR,") + LocalIsoTime() + "\r\n");
}

std::string TFormMainTELVANO::LocalIsoTime() const { return core::LocalIsoTime(m_clock); }

void TFormMainTELVANO::Log(const std::string& text) {
  // The log writer echoes its lines to stderr; without one the line goes there alone.
  if (m_modules.appendLog) {
    try {
      m_modules.appendLog(text);
      return;
    } catch (const std::exception&) {
      // the log is a record, not a condition of work
    }
  }
  std::fprintf(stderr, "TELVANO: %s\n", text.c_str());
}

}  // namespace telvano::app
