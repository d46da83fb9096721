#include "ui/login_window.h"

#include <algorithm>

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ui/telvano_logo.h"

namespace telvano::ui {

namespace {

constexpr int kLoginWidth = 560;
constexpr int kLoginHeight = 280;

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

  m_image1 = new QLabel(this);
  m_image1->setObjectName("Image1");
  m_image1->setPixmap(TelvanoLogo(96));
  m_image1->setAlignment(Qt::AlignTop);
  QFont titleFont = m_label1->font();
  titleFont.setPointSize(14);
  titleFont.setBold(true);
  m_label1->setFont(titleFont);
  for (QWidget* edit : std::initializer_list<QWidget*>{m_editPassword, m_cbCertificates, m_editPinPac}) {
    QFont font = edit->font();
    font.setPointSize(12);
    edit->setFont(font);
    edit->setMinimumHeight(32);
  }

  auto* fields = new QVBoxLayout;
  fields->setSpacing(8);
  for (QWidget* widget :
       std::initializer_list<QWidget*>{m_label1, m_editPassword, m_cbCertificates, m_labelPinPac, m_editPinPac}) {
    fields->addWidget(widget);
  }
  fields->addStretch();
  fields->addWidget(m_labelVer);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 16);
  layout->setSpacing(20);
  layout->addWidget(m_image1);
  layout->addLayout(fields, 1);
  setFixedSize(kLoginWidth, kLoginHeight);

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
  // The closed list shows its whole entry (serial, TIN, unit, environment, LPFR or VPFR): the window grows
  // as wide as the longest needs.
  int longest = 0;
  for (int i = 0; i < m_cbCertificates->count(); ++i) {
    longest = std::max(longest, static_cast<int>(m_cbCertificates->itemText(i).size()));
  }
  m_cbCertificates->setMinimumContentsLength(longest);
  m_cbCertificates->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  // The list is hidden until the secret is proven, and a hidden widget does not count in the layout's size.
  const QMargins margins = layout()->contentsMargins();
  const int needed = m_image1->sizeHint().width() + layout()->spacing() + m_cbCertificates->sizeHint().width() +
                     margins.left() + margins.right();
  setFixedSize(std::max(kLoginWidth, needed), kLoginHeight);
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
