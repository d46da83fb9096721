#include "app/tform_login.h"

#include <algorithm>

#include <exception>
#include <stdexcept>

#include "core/stored_secret.h"
#include "core/text_utils.h"

namespace telvano::app {

namespace {

constexpr int kLpfrPinLength = 4;
constexpr int kVpfrPacLength = 6;

}  // namespace

std::string EnvironmentOf(const std::string& envName) {
  return core::UpperCaseUnicode(envName) == "СУФ ПРОДУКЦИЈА" ? "PROD" : "DEV";
}

std::string CertificateEntryText(const CertificateListRow& row) {
  return row.serial + " | " + row.sub_tin + " | " + core::Utf8Prefix(row.sub_ou, 7) + " | " +
         EnvironmentOf(row.env_name) + " | " + (row.ind_lpfr == "Y" ? "LPFR" : "VPFR");
}

TFormLogin::TFormLogin(StartupServices& services, core::WorkingState& workingState,
                       core::MessageService& messages, platform::Clock* clock)
    : m_services(services), m_workingState(workingState), m_messages(messages), m_clock(clock) {}

void TFormLogin::WaitAfterFailures() {
  if (m_clock != nullptr && m_failedTries > 0) {
    m_clock->Sleep(std::min(kFirstRetryPause * (1 << std::min(m_failedTries - 1, 5)), kLongestRetryPause));
  }
}

LoginView& TFormLogin::View() {
  if (m_view == nullptr) throw std::logic_error("the login window has no view");
  return *m_view;
}

void TFormLogin::SetVersionLabel(const std::string& text) { View().SetVersionLabel(text); }

bool TFormLogin::ShowModal() {
  FormShow();
  return View().ExecModal();
}

void TFormLogin::FormShow() {
  m_entries.clear();
  m_serials.clear();
  for (const CertificateListRow& row : m_services.ListCertificates()) {
    m_entries.push_back(CertificateEntryText(row));
    m_serials.push_back(row.serial);
  }
  m_entries.emplace_back(kNewLpfrEntry);
  m_entries.emplace_back(kNewVpfrEntry);
  View().SetCertificateEntries(m_entries, 0);
  CBCertificatesChange(0);
  View().SetChoiceVisible(false);
  View().SetPasswordEnabled(true);
  View().ClearPassword();
  View().FocusPassword();
}

void TFormLogin::CBCertificatesChange(int index) {
  const int count = static_cast<int>(m_entries.size());
  if (index < 0 || index >= count) return;
  if (index < count - 2) {
    // The serial is kept beside the entry rather than cut back out of its text, so a serial of any length
    // works.
    m_services.LoadWorkingCertificate(m_serials[static_cast<std::size_t>(index)]);
  } else {
    m_services.LoadWorkingCertificate("CLEAR");
    m_workingState.WorkIsLpfr = (index == count - 2);
  }
  const bool lpfr = m_workingState.WorkIsLpfr;
  m_pinPacMaxLength = lpfr ? kLpfrPinLength : kVpfrPacLength;
  View().ResetPinPac(m_pinPacMaxLength, lpfr, lpfr ? "PIN (4) - LPFR" : "PAK (6) - VPFR");
}

void TFormLogin::PasswordEnter(const std::string& text) {
  WaitAfterFailures();
  if (!core::SameStoredSecret(core::StoredSecretForm(text), m_services.ReadSetting("LOGIN_SECRET"))) {
    ++m_failedTries;
    m_messages.ShowInfo(kWrongPasswordText);
    View().ClearPassword();
    View().FocusPassword();
    return;
  }
  m_failedTries = 0;
  View().SetPasswordEnabled(false);
  View().SetChoiceVisible(true);
  View().FocusPinPac();
}

void TFormLogin::PinPacEnter(const std::string& text) {
  if (core::Utf8Length(text) != static_cast<std::size_t>(m_pinPacMaxLength)) return;  // not complete yet
  WaitAfterFailures();
  m_workingState.WorkPin = core::UpperCaseUnicode(text);
  if (m_workingState.WorkSerial.empty() || CheckChosenProcessor()) {
    m_failedTries = 0;
    View().Accept();
    return;
  }
  ++m_failedTries;
  core::WipeSecretText(m_workingState.WorkPin);
  View().ResetPinPac(m_pinPacMaxLength, m_workingState.WorkIsLpfr,
                     m_workingState.WorkIsLpfr ? "PIN (4) - LPFR" : "PAK (6) - VPFR");
  View().FocusPinPac();
}

bool TFormLogin::CheckChosenProcessor() {
  try {
    m_services.CheckAttention();
    if (m_workingState.WorkIsLpfr) {
      m_services.CheckLpfrStatus();
      if (m_services.GetProcessorUid() != m_workingState.WorkSerial) {
        m_messages.ShowMessageNo(16);
        return false;
      }
      m_services.SendPin();
    } else {
      m_services.CheckVpfrPac();
    }
    return true;
  } catch (const std::exception&) {
    return false;  // the check has shown its own message; the operator may try again
  }
}

}  // namespace telvano::app
