#include "ui/login_window.h"

#include <QFontDatabase>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace telvano::ui {

namespace {

// Converts the text of an edit field as it is typed, keeping the cursor where it was.
void ConvertAsTyped(QLineEdit* edit, bool upper) {
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, upper](const QString& text) {
    const QString converted = upper ? text.toUpper() : text.toLower();
    if (converted == text) return;
    const int cursor = edit->cursorPosition();
    edit->setText(converted);
    edit->setCursorPosition(cursor);
  });
}

}  // namespace

LoginWindow::LoginWindow(app::TFormLogin& login, QWidget* parent) : QDialog(parent), m_login(login) {
  setObjectName("FormLogin");
  setWindowTitle("Login");
  m_label1 = new QLabel("login - prijava korisnika", this);
  m_label1->setObjectName("Label1");
  m_editPassword = new QLineEdit(this);
  m_editPassword->setObjectName("EditPassword");
  m_editPassword->setEchoMode(QLineEdit::Password);
  m_editPassword->setMaxLength(12);
  ConvertAsTyped(m_editPassword, false);
  m_cbCertificates = new QComboBox(this);
  m_cbCertificates->setObjectName("CBCertificates");
  m_cbCertificates->setEditable(false);
  m_cbCertificates->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m_labelPinPac = new QLabel(this);
  m_labelPinPac->setObjectName("LabelPinPac");
  m_editPinPac = new QLineEdit(this);
  m_editPinPac->setObjectName("EditPinPac");
  ConvertAsTyped(m_editPinPac, true);
  m_labelVer = new QLabel(this);
  m_labelVer->setObjectName("LabelVer");

  auto* layout = new QVBoxLayout(this);
  for (QWidget* widget : std::initializer_list<QWidget*>{m_label1, m_editPassword, m_cbCertificates,
                                                         m_labelPinPac, m_editPinPac, m_labelVer}) {
    layout->addWidget(widget);
  }
  setFixedSize(460, 240);

  QObject::connect(m_editPassword, &QLineEdit::returnPressed, this,
                   [this] { m_login.PasswordEnter(m_editPassword->text().toStdString()); });
  QObject::connect(m_editPinPac, &QLineEdit::returnPressed, this,
                   [this] { m_login.PinPacEnter(m_editPinPac->text().toStdString()); });
  QObject::connect(m_cbCertificates, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!m_filling) m_login.CBCertificatesChange(index);
  });
}

void LoginWindow::SetVersionLabel(const std::string& text) {
  m_labelVer->setText(QString::fromStdString(text));
}

void LoginWindow::SetCertificateEntries(const std::vector<std::string>& entries, int selected) {
  m_filling = true;
  m_cbCertificates->clear();
  for (const std::string& entry : entries) m_cbCertificates->addItem(QString::fromStdString(entry));
  m_cbCertificates->setCurrentIndex(selected);
  m_filling = false;
}

void LoginWindow::SetChoiceVisible(bool visible) {
  m_cbCertificates->setVisible(visible);
  m_editPinPac->setVisible(visible);
  m_labelPinPac->setVisible(visible);
}

void LoginWindow::SetPasswordEnabled(bool enabled) { m_editPassword->setEnabled(enabled); }

void LoginWindow::ClearPassword() { m_editPassword->clear(); }

void LoginWindow::FocusPassword() { m_editPassword->setFocus(); }

void LoginWindow::ResetPinPac(int maxLength, bool digitsOnly, const std::string& label) {
  m_editPinPac->clear();
  m_editPinPac->setMaxLength(maxLength);
  const QValidator* previous = m_editPinPac->validator();
  m_editPinPac->setValidator(
      digitsOnly ? new QRegularExpressionValidator(QRegularExpression("[0-9]*"), m_editPinPac) : nullptr);
  delete previous;
  m_labelPinPac->setText(QString::fromStdString(label));
}

void LoginWindow::FocusPinPac() { m_editPinPac->setFocus(); }

bool LoginWindow::ExecModal() { return exec() == QDialog::Accepted; }

void LoginWindow::Accept() { accept(); }

}  // namespace telvano::ui
