#include "ui/exec_script_window.h"

#include <QApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/window_parts.h"

namespace telvano::ui {

ExecScriptWindow::ExecScriptWindow(maintenance::TFormExecScript& form, QWidget* parent)
    : QDialog(parent), m_form(form) {
  setObjectName("FormExecScript");
  setWindowTitle(QString::fromUtf8(maintenance::kExecScriptCaption));
  setModal(true);

  m_panelFile = NewFilePanel(this);

  m_panelExecScript =
      NewActionTile(QString::fromUtf8(maintenance::kExecScriptCaption), "PanelExecScript", 72, this);
  m_panelExecScript->setDefault(true);
  m_panelExecScript->setAutoDefault(true);

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
