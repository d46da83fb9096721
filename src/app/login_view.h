#pragma once

#include <string>
#include <vector>

namespace telvano::app {

// The login window's controls as TFormLogin drives them. The Qt window forwards Enter in EditPassword to
// TFormLogin::PasswordEnter, Enter in EditPinPac to PinPacEnter, and a change of CBCertificates to
// CBCertificatesChange.
class LoginView {
 public:
  virtual ~LoginView() = default;
  virtual void SetVersionLabel(const std::string& text) = 0;
  virtual void SetCertificateEntries(const std::vector<std::string>& entries, int selected) = 0;
  // CBCertificates, EditPinPac and LabelPinPac shown (the choice step) or hidden (the password step).
  virtual void SetChoiceVisible(bool visible) = 0;
  virtual void SetPasswordEnabled(bool enabled) = 0;
  virtual void ClearPassword() = 0;
  virtual void FocusPassword() = 0;
  // Empties EditPinPac and sets its rules and caption.
  virtual void ResetPinPac(int maxLength, bool digitsOnly, const std::string& label) = 0;
  virtual void FocusPinPac() = 0;
  // Shows the window modally; true when it was closed by Accept(), false for any other way.
  virtual bool ExecModal() = 0;
  virtual void Accept() = 0;
};

}  // namespace telvano::app
