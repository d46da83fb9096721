#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "cert/certificate_view.h"
#include "cert/tform_certificate.h"

namespace telvano::ui {

// The window "Radni CERT" of TFormCertificate: every component under its own name (the labelled ones with a
// QLabel named <name>Label), PanelImportCertificate "Sačuvaj". The module decides modes, texts and focus; the
// window paints, turns LEPassword's input to upper case (at most 8 characters) and LEDeveloperTin's to digits
// (at most 9), and forwards edits, the click and Esc.
class CertificateWindow final : public QDialog, public cert::CertificateView {
 public:
  explicit CertificateWindow(cert::TFormCertificate& form, QWidget* parent = nullptr);

  void SetCaption(const std::string& text) override;
  void SetText(cert::CertificateComponent component, const std::string& text) override;
  void SetVisible(cert::CertificateComponent component, bool visible) override;
  void SetReadOnly(cert::CertificateComponent component, bool readOnly) override;
  void SetFocus(cert::CertificateComponent component) override;
  void ExecModal() override;
  void CloseForm() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ConnectFields();
  QWidget* Widget(cert::CertificateComponent component) const;

  cert::TFormCertificate& m_form;
  std::array<QLineEdit*, cert::kCertificateComponentCount> m_edits{};  // null for the panel
  std::array<QLabel*, cert::kCertificateComponentCount> m_labels{};
  QPushButton* m_panelImportCertificate;
};

}  // namespace telvano::ui
