#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/login_view.h"
#include "app/main_view.h"
#include "app/startup_services.h"
#include "core/message_service.h"
#include "core/working_state.h"

namespace telvano::testing {

// Records every call of the start-up operations in order; a step named in `failures` raises, and a step
// named in `messagesOnFailure` first shows a numbered message, as the real checks do.
class ScriptedServices final : public app::StartupServices {
 public:
  explicit ScriptedServices(core::WorkingState& state) : m_state(state) {}

  std::vector<std::string> calls;
  std::map<std::string, std::string> failures;             // step -> error text
  std::map<std::string, core::WorkingState> certificates;  // serial -> row as a working state
  std::map<std::string, std::string> settings;
  std::vector<app::CertificateListRow> rows;
  std::string processorUid;
  std::function<void()> onFailure;  // called before a scripted failure raises

  void LoadWorkingCertificate(const std::string& serialOrCommand) override;
  std::string WindowCaption() override;
  void ConnectDatabase() override { Step("ConnectDatabase"); }
  void ProbeDatabase() override { Step("ProbeDatabase"); }
  void CheckAndUpgradeSchema() override { Step("CheckAndUpgradeSchema"); }
  std::string ReadSetting(const std::string& key) override;
  std::vector<app::CertificateListRow> ListCertificates() override;
  void CheckAttention() override { Step("CheckAttention"); }
  void CheckLpfrStatus() override { Step("CheckLpfrStatus"); }
  std::string GetProcessorUid() override;
  void SendPin() override { Step("SendPin:" + m_state.WorkPin); }
  void CheckVpfrPac() override { Step("CheckVpfrPac:" + m_state.WorkPin); }
  void LoadTaxGroups() override { Step("LoadTaxGroups"); }
  void CreateTestInvoice() override { Step("CreateTestInvoice"); }

  // A certificate row that LoadWorkingCertificate can find.
  void AddCertificate(const std::string& serial, bool lpfr, const std::string& url = "http://127.0.0.1:1");

 private:
  void Step(const std::string& name);
  core::WorkingState& m_state;
};

class RecordingMessages final : public core::MessageService {
 public:
  std::vector<std::string> shown;  // "no:N", "info:TEXT", "text:N", "processor:CODE"
  void ShowMessageNo(int no) override { shown.push_back("no:" + std::to_string(no)); }
  void ShowMessageText(int no, const std::string&, const std::string&) override {
    shown.push_back("text:" + std::to_string(no));
  }
  void ShowProcessorError(const std::string& code) override { shown.push_back("processor:" + code); }
  void ShowInfo(const std::string& text) override { shown.push_back("info:" + text); }
};

class RecordingMainView final : public app::MainView {
 public:
  std::vector<std::string> events;
  bool timerEnabled = false;
  bool terminated = false;
  void SetCaption(const std::string& text) override { events.push_back("caption:" + text); }
  void SetTrayMenuCaption(const std::string& text) override { events.push_back("tray:" + text); }
  void ShowTrayBalloon(const std::string& title, const std::string& text) override {
    events.push_back("balloon:" + title + "|" + text);
  }
  void ShowMenu(const app::MenuScreen& screen) override {
    events.push_back("menu:" + std::to_string(screen.level));
    lastMenu = screen;
  }
  app::MenuScreen lastMenu;
  void SetPanelsVisible(bool visible) override { events.push_back(visible ? "panels:on" : "panels:off"); }
  void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }
  void Terminate() override {
    terminated = true;
    events.push_back("terminate");
  }
};

// The login window without a screen: ExecModal runs the operator's script, which presses keys through
// the module; the window ends when the script calls Accept or runs out (cancel).
class ScriptedLoginView final : public app::LoginView {
 public:
  std::function<void()> operatorScript;
  std::vector<std::string> events;
  std::vector<std::string> entries;
  bool choiceVisible = true;
  bool passwordEnabled = true;
  int pinPacMaxLength = 0;
  bool pinPacDigitsOnly = false;
  std::string pinPacLabel;
  std::string versionLabel;
  bool accepted = false;

  void SetVersionLabel(const std::string& text) override { versionLabel = text; }
  void SetCertificateEntries(const std::vector<std::string>& list, int) override { entries = list; }
  void SetChoiceVisible(bool visible) override { choiceVisible = visible; }
  void SetPasswordEnabled(bool enabled) override { passwordEnabled = enabled; }
  void ClearPassword() override { events.push_back("clear-password"); }
  void FocusPassword() override { events.push_back("focus-password"); }
  void ResetPinPac(int maxLength, bool digitsOnly, const std::string& label) override {
    pinPacMaxLength = maxLength;
    pinPacDigitsOnly = digitsOnly;
    pinPacLabel = label;
    events.push_back("reset-pinpac");
  }
  void FocusPinPac() override { events.push_back("focus-pinpac"); }
  bool ExecModal() override {
    accepted = false;
    if (operatorScript) operatorScript();
    return accepted;
  }
  void Accept() override { accepted = true; }
};

}  // namespace telvano::testing
