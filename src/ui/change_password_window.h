#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "secrets/change_password_view.h"
#include "secrets/tform_change_password.h"

namespace telvano::ui {

// The window "Promena lozinke" of TFormChangePassword: GroupBox1 with LEOldLogin, LENewLogin,
// LEConfirmNewLogin, GroupBox2 with LEOldSoftKey, LENewSoftKey, LEConfirmNewSoftKey (each lower-cases what
// is typed, at most 16 characters, shown as "*"), and the tile Panel1 "Save passwords".
// Keyboard: Enter goes on to the next field; Enter in the last field, or Enter or Space on Panel1, saves;
// Escape or the close button closes the window.
class ChangePasswordWindow final : public QDialog, public secrets::ChangePasswordView {
 public:
  explicit ChangePasswordWindow(secrets::TFormChangePassword& form, QWidget* parent = nullptr);

  void ClearFields() override;
  void ExecModal() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLineEdit* AddField(QGroupBox* group, const char* name, const char* label);
  void Save();

  secrets::TFormChangePassword& m_form;
  QGroupBox* m_groupBox1;
  QGroupBox* m_groupBox2;
  QLineEdit* m_leOldLogin;
  QLineEdit* m_leNewLogin;
  QLineEdit* m_leConfirmNewLogin;
  QLineEdit* m_leOldSoftKey;
  QLineEdit* m_leNewSoftKey;
  QLineEdit* m_leConfirmNewSoftKey;
  QPushButton* m_panel1;
};

}  // namespace telvano::ui
