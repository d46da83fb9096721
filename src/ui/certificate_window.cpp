#include "ui/certificate_window.h"

#include <QApplication>
#include <QFormLayout>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QVBoxLayout>

namespace telvano::ui {

namespace {

using C = cert::CertificateComponent;

constexpr int kWindowWidth = 640;
constexpr int kWindowHeight = 600;

std::size_t Index(C component) { return static_cast<std::size_t>(component); }

// The caption beside each edit: the system's own for the labelled edits, short names of ours for the others.
struct Row {
  C component;
  const char* caption;
};
constexpr Row kRows[] = {
    {C::EditSerialNumber, "Serijski broj"},
    {C::EditNotAfter, "Važi do"},
    {C::EditC, "Država"},
    {C::EditOID3586, "PIB"},
    {C::EditCN, "Naziv"},
    {C::EditO, "Obveznik"},
    {C::LEOU, "Poslovni prostor"},
    {C::EditST, "Opština"},
    {C::EditL, "Mesto"},
    {C::EditStreet, "Adresa"},
    {C::LEOID3587, "HTTP server url ( http://localhost:port )"},
    {C::LESDCMrc, "Oznaka PFR"},
    {C::LEDeveloperTin, "ESIR developer (PIB)"},
    {C::LEPfx, "File sertifikat ( .p12, .pfx )"},
    {C::LEPassword, "lozinka"},
};

}  // namespace

CertificateWindow::CertificateWindow(cert::TFormCertificate& form, QWidget* parent)
    : QDialog(parent), m_form(form) {
  setObjectName("FormCertificate");
  setWindowTitle(QString::fromUtf8(cert::kCertificateCaption));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  auto* rows = new QFormLayout;
  layout->addLayout(rows);
  for (const Row& row : kRows) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(cert::ComponentName(row.component));
    auto* label = new QLabel(QString::fromUtf8(row.caption), this);
    label->setObjectName(QString(cert::ComponentName(row.component)) + "Label");
    label->setBuddy(edit);
    rows->addRow(label, edit);
    m_edits[Index(row.component)] = edit;
    m_labels[Index(row.component)] = label;
  }
  // Takes the focus when nothing may be typed; it has no width, so it is never seen.
  auto* cursorPlace = new QLineEdit(this);
  cursorPlace->setObjectName("EditCursorPlace");
  cursorPlace->setFixedWidth(0);
  cursorPlace->setFrame(false);
  cursorPlace->setFocusPolicy(Qt::NoFocus);  // given the focus by the form only, never a Tab stop
  m_edits[Index(C::EditCursorPlace)] = cursorPlace;
  layout->addWidget(cursorPlace);

  m_panelImportCertificate = new QPushButton(QString::fromUtf8("Sačuvaj"), this);
  m_panelImportCertificate->setObjectName("PanelImportCertificate");
  m_panelImportCertificate->setMinimumHeight(48);
  m_panelImportCertificate->setAutoDefault(false);
  layout->addWidget(m_panelImportCertificate);
  layout->addStretch();
  // One size for every mode: the window neither grows past the main window when a certificate's details
  // appear nor moves away from the centre.
  setFixedSize(kWindowWidth, kWindowHeight);

  ConnectFields();
}

// The limits of the fields typed into, and what each edit and the click tell the form. The password is
// upper-cased as it is typed.
void CertificateWindow::ConnectFields() {
  QLineEdit* developerTin = m_edits[Index(C::LEDeveloperTin)];
  developerTin->setMaxLength(9);
  developerTin->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), developerTin));
  QLineEdit* password = m_edits[Index(C::LEPassword)];
  password->setMaxLength(8);
  password->setEchoMode(QLineEdit::Password);

  QObject::connect(m_edits[Index(C::LEOID3587)], &QLineEdit::textEdited, this,
                   [this](const QString& text) { m_form.LEOID3587Change(text.toStdString()); });
  QObject::connect(developerTin, &QLineEdit::textEdited, this,
                   [this](const QString& text) { m_form.LEDeveloperTinChange(text.toStdString()); });
  QObject::connect(password, &QLineEdit::textEdited, this, [this, password](const QString& text) {
    const QString upper = text.toUpper();
    if (upper != text) {
      const int cursor = password->cursorPosition();
      password->setText(upper);
      password->setCursorPosition(cursor);
    }
    m_form.LEPasswordChange(upper.toStdString());
  });
  QObject::connect(m_panelImportCertificate, &QPushButton::clicked, this,
                   [this] { m_form.PanelImportCertificateClick(); });
}

QWidget* CertificateWindow::Widget(C component) const {
  if (component == C::PanelImportCertificate) return m_panelImportCertificate;
  return m_edits[Index(component)];
}

void CertificateWindow::SetCaption(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

void CertificateWindow::SetText(C component, const std::string& text) {
  if (QLineEdit* edit = m_edits[Index(component)]) edit->setText(QString::fromStdString(text));
}

void CertificateWindow::SetVisible(C component, bool visible) {
  Widget(component)->setVisible(visible);
  if (QLabel* label = m_labels[Index(component)]) label->setVisible(visible);
}

void CertificateWindow::SetReadOnly(C component, bool readOnly) {
  QLineEdit* edit = m_edits[Index(component)];
  if (edit == nullptr || component == C::EditCursorPlace) return;
  edit->setReadOnly(readOnly);
  // Tab goes from one field that takes input to the next and on to "Sačuvaj"; a shown value can still be
  // clicked and copied.
  edit->setFocusPolicy(readOnly ? Qt::ClickFocus : Qt::StrongFocus);
}

void CertificateWindow::SetFocus(C component) { Widget(component)->setFocus(); }

void CertificateWindow::ExecModal() {
  const QWidget* over = parentWidget() != nullptr ? parentWidget() : QApplication::activeWindow();
  if (over != nullptr && over->isVisible()) {
    move(over->frameGeometry().center() - rect().center());
  } else if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  exec();
}

void CertificateWindow::CloseForm() { reject(); }

void CertificateWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    m_form.FormKeyPress(cert::kEscapeKey);
    return;
  }
  // "Sačuvaj" reached with Tab is pressed with Enter as with Space (a keyboard-only till has no mouse).
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && focusWidget() == m_panelImportCertificate) {
    m_panelImportCertificate->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace telvano::ui
