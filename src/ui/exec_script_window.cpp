#include "ui/exec_script_window.h"

#include <QApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace telvano::ui {

namespace {

constexpr const char* kSkyBlue = "#87CEEB";

}  // namespace

ExecScriptWindow::ExecScriptWindow(cert::TFormExecScript& form, QWidget* parent)
    : QDialog(parent), m_form(form) {
  setObjectName("FormExecScript");
  setWindowTitle(QString::fromUtf8(cert::kExecScriptCaption));
  setModal(true);

  m_panelFile = new QLabel(this);
  m_panelFile->setObjectName("PanelFile");
  m_panelFile->setTextFormat(Qt::PlainText);
  m_panelFile->setAlignment(Qt::AlignCenter);
  m_panelFile->setMinimumHeight(72);
  m_panelFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_panelFile->setStyleSheet(
      "background-color: white; color: black; border: 1px solid #7a7a7a; padding: 8px;");
  QFont fileFont = m_panelFile->font();
  fileFont.setPointSize(14);
  fileFont.setBold(true);
  m_panelFile->setFont(fileFont);

  m_panelExecScript = new QPushButton(QString::fromUtf8(cert::kExecScriptCaption), this);
  m_panelExecScript->setObjectName("PanelExecScript");
  m_panelExecScript->setMinimumHeight(72);
  m_panelExecScript->setDefault(true);
  m_panelExecScript->setAutoDefault(true);
  m_panelExecScript->setStyleSheet(QString("background-color: %1; color: black;").arg(kSkyBlue));
  QFont panelFont = m_panelExecScript->font();
  panelFont.setPointSize(14);
  m_panelExecScript->setFont(panelFont);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(16);
  layout->addWidget(m_panelFile);
  layout->addWidget(m_panelExecScript);
  setFixedSize(560, 220);

  QObject::connect(m_panelExecScript, &QPushButton::clicked, this, [this] { m_form.PanelExecScriptClick(); });
}

void ExecScriptWindow::SetCaption(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

void ExecScriptWindow::SetPanelFile(const std::string& text) {
  m_panelFile->setText(QString::fromStdString(text));
}

void ExecScriptWindow::ExecModal() { exec(); }

void ExecScriptWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  m_panelExecScript->setFocus();
}

}  // namespace telvano::ui
