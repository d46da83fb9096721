#pragma once

namespace telvano::secrets {

// The window "Promena lozinke" as TFormChangePassword drives it. The Qt window lower-cases every field as
// it is typed (at most 16 characters, shown as "*") and forwards a click on Panel1 to
// TFormChangePassword::Panel1Click with the six texts.
class ChangePasswordView {
 public:
  virtual ~ChangePasswordView() = default;
  // Empties LEOldLogin, LENewLogin, LEConfirmNewLogin, LEOldSoftKey, LENewSoftKey, LEConfirmNewSoftKey and
  // puts the focus into LEOldLogin.
  virtual void ClearFields() = 0;
  // Shows the window modally; returns when the operator has closed it.
  virtual void ExecModal() = 0;
};

}  // namespace telvano::secrets
