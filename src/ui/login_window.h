#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>

#include "app/login_view.h"
#include "app/tform_login.h"

namespace telvano::ui {

// The Qt login window; TFormLogin decides, this window only shows and forwards the operator's keys.
class LoginWindow final : public QDialog, public app::LoginView {
 public:
  explicit LoginWindow(app::TFormLogin& login, QWidget* parent = nullptr);

  void SetVersionLabel(const std::string& text) override;
  void SetCertificateEntries(const std::vector<std::string>& entries, int selected) override;
  void SetChoiceVisible(bool visible) override;
  void SetPasswordEnabled(bool enabled) override;
  void ClearPassword() override;
  void FocusPassword() override;
  void ResetPinPac(int maxLength, bool digitsOnly, const std::string& label) override;
  void FocusPinPac() override;
  bool ExecModal() override;
  void Accept() override;

 private:
  app::TFormLogin& m_login;
  QLabel* m_label1;
  QLineEdit* m_editPassword;
  QComboBox* m_cbCertificates;
  QLabel* m_labelPinPac;
  QLineEdit* m_editPinPac;
  QLabel* m_labelVer;
  QLabel* m_image1 = nullptr;  // the logo
  bool m_filling = false;
};

}  // namespace telvano::ui
