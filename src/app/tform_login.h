#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app/login_view.h"
#include "app/startup_services.h"
#include "core/message_service.h"
#include "core/working_state.h"
#include "platform/clock.h"

namespace telvano::app {

inline constexpr const char* kNewLpfrEntry = "Novi LPFR - novi lokalni procesor ( sw, hw )";
inline constexpr const char* kNewVpfrEntry = "Novi VPFR - novi virtuelni procesor";
inline constexpr const char* kWrongPasswordText = "Pogrešna lozinka!";

// The login window's logic: first the login secret, then the working certificate (or a "Novi" entry) with
// its PIN or PAC, checked against the processor before the start-up may go on.
class TFormLogin {
 public:
  // With a clock, a try after a wrong login secret or PIN/PAC waits first (1 s, doubling up to 30 s), so
  // guessing is slow; a right one resets the pause.
  TFormLogin(StartupServices& services, core::WorkingState& workingState, core::MessageService& messages,
             platform::Clock* clock = nullptr);

  void AttachView(LoginView& view) { m_view = &view; }

  void SetVersionLabel(const std::string& text);
  // Shows the window modally; true when the operator passed both steps (the working state is then filled).
  bool ShowModal();

  void FormShow();
  void CBCertificatesChange(int index);
  // Enter pressed in EditPassword with `text` in it.
  void PasswordEnter(const std::string& text);
  // Enter pressed in EditPinPac with `text` in it.
  void PinPacEnter(const std::string& text);

  const std::vector<std::string>& Entries() const { return m_entries; }
  int PinPacMaxLength() const { return m_pinPacMaxLength; }

 private:
  static constexpr std::chrono::milliseconds kFirstRetryPause{1000};
  static constexpr std::chrono::milliseconds kLongestRetryPause{30000};
  void WaitAfterFailures();
  bool CheckChosenProcessor();
  LoginView& View();

  StartupServices& m_services;
  core::WorkingState& m_workingState;
  core::MessageService& m_messages;
  LoginView* m_view = nullptr;
  platform::Clock* m_clock;
  int m_failedTries = 0;
  std::vector<std::string> m_entries;
  std::vector<std::string> m_serials;  // the serial behind each stored-certificate entry
  int m_pinPacMaxLength = 4;
};

// The list text of one certificate: serial | TIN | unit (7) | PROD/DEV | LPFR/VPFR.
std::string CertificateEntryText(const CertificateListRow& row);
// "PROD" when env_name, upper-cased, is "СУФ ПРОДУКЦИЈА", otherwise "DEV".
std::string EnvironmentOf(const std::string& envName);

}  // namespace telvano::app
