#include "ui/change_password_window.h"

#include <QApplication>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/window_parts.h"

namespace telvano::ui {

namespace {

// Lower-cases an edit field's text as it is typed, keeping the cursor where it was.
void LowerCaseAsTyped(QLineEdit* edit) {
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
    const QString lowered = text.toLower();
    if (lowered == text) return;
    const int cursor = edit->cursorPosition();
    edit->setText(lowered);
    edit->setCursorPosition(cursor);
  });
}

QGroupBox* NewGroup(const char* name, const char* caption, QWidget* parent) {
  auto* group = new QGroupBox(QString::fromUtf8(caption), parent);
  group->setObjectName(name);
  QFont font = group->font();
  font.setBold(true);
  group->setFont(font);
  auto* form = new QFormLayout(group);
  form->setContentsMargins(12, 12, 12, 12);
  form->setHorizontalSpacing(12);
  form->setVerticalSpacing(8);
  return group;
}

}  // namespace

ChangePasswordWindow::ChangePasswordWindow(secrets::TFormChangePassword& form, QWidget* parent)
    : QDialog(parent), m_form(form) {
  setObjectName("FormChangePassword");
  setWindowTitle(QString::fromUtf8(secrets::kChangePasswordCaption));
  setModal(true);

  m_groupBox1 = NewGroup("GroupBox1", secrets::kLoginGroupCaption, this);
  m_leOldLogin = AddField(m_groupBox1, "LEOldLogin", "old");
  m_leNewLogin = AddField(m_groupBox1, "LENewLogin", "new");
  m_leConfirmNewLogin = AddField(m_groupBox1, "LEConfirmNewLogin", "confirm");
  m_groupBox2 = NewGroup("GroupBox2", secrets::kSoftKeyGroupCaption, this);
  m_leOldSoftKey = AddField(m_groupBox2, "LEOldSoftKey", "old");
  m_leNewSoftKey = AddField(m_groupBox2, "LENewSoftKey", "new");
  m_leConfirmNewSoftKey = AddField(m_groupBox2, "LEConfirmNewSoftKey", "confirm");

  m_panel1 = NewActionTile(QString::fromUtf8(secrets::kSavePasswordsCaption), "Panel1", 64, this);
  // Enter in a field goes on to the next one; only the last field and the tile itself save.
  m_panel1->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(16);
  layout->addWidget(m_groupBox1);
  layout->addWidget(m_groupBox2);
  layout->addWidget(m_panel1);
  setFixedSize(480, 440);

  const QLineEdit* order[] = {m_leOldLogin,   m_leNewLogin,   m_leConfirmNewLogin,
                              m_leOldSoftKey, m_leNewSoftKey, m_leConfirmNewSoftKey};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
    QLineEdit* next = const_cast<QLineEdit*>(order[i + 1]);
    QObject::connect(order[i], &QLineEdit::returnPressed, next, [next] { next->setFocus(); });
  }
  QObject::connect(m_leConfirmNewSoftKey, &QLineEdit::returnPressed, this, [this] { Save(); });
  QObject::connect(m_panel1, &QPushButton::clicked, this, [this] { Save(); });
}

QLineEdit* ChangePasswordWindow::AddField(QGroupBox* group, const char* name, const char* label) {
  auto* edit = new QLineEdit(group);
  edit->setObjectName(name);
  edit->setEchoMode(QLineEdit::Password);
  edit->setMaxLength(secrets::kSecretFieldMaxLength);
  QFont font = edit->font();
  font.setBold(false);
  font.setPointSize(12);
  edit->setFont(font);
  edit->setMinimumHeight(30);
  LowerCaseAsTyped(edit);
  auto* caption = new QLabel(QString::fromUtf8(label), group);
  QFont captionFont = caption->font();
  captionFont.setBold(false);
  caption->setFont(captionFont);
  caption->setBuddy(edit);
  static_cast<QFormLayout*>(group->layout())->addRow(caption, edit);
  return edit;
}

void ChangePasswordWindow::Save() {
  secrets::PasswordEntries entries;
  entries.oldLogin = m_leOldLogin->text().toStdString();
  entries.newLogin = m_leNewLogin->text().toStdString();
  entries.confirmNewLogin = m_leConfirmNewLogin->text().toStdString();
  entries.oldSoftKey = m_leOldSoftKey->text().toStdString();
  entries.newSoftKey = m_leNewSoftKey->text().toStdString();
  entries.confirmNewSoftKey = m_leConfirmNewSoftKey->text().toStdString();
  m_form.Panel1Click(entries);
}

void ChangePasswordWindow::ClearFields() {
  for (QLineEdit* edit : {m_leOldLogin, m_leNewLogin, m_leConfirmNewLogin, m_leOldSoftKey, m_leNewSoftKey,
                          m_leConfirmNewSoftKey}) {
    edit->clear();
  }
  m_leOldLogin->setFocus();
}

void ChangePasswordWindow::ExecModal() { exec(); }

void ChangePasswordWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  m_leOldLogin->setFocus();
}

void ChangePasswordWindow::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && m_panel1->hasFocus()) {
    m_panel1->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace telvano::ui
