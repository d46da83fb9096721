#include "ui/file_window.h"

#include <QApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/window_parts.h"

namespace telvano::ui {

FileWindow::FileWindow(const core::FileWindowForm& form, QWidget* parent) : QDialog(parent) {
  setObjectName(form.objectName);
  setWindowTitle(QString::fromUtf8(form.caption));
  setModal(true);

  m_panelFile = NewFilePanel(this);

  m_panel1 = NewActionTile(QString::fromUtf8(form.panel1Caption), "Panel1", 72, this);
  m_panel1->setDefault(true);
  m_panel1->setAutoDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 16);
  layout->setSpacing(16);
  layout->addWidget(m_panelFile);
  layout->addWidget(m_panel1);
  setFixedSize(560, 220);

  QObject::connect(m_panel1, &QPushButton::clicked, this, [this] {
    if (m_events != nullptr) m_events->Panel1Click();
  });
}

FileWindow::~FileWindow() {
  if (m_events != nullptr) m_events->FormDestroy();
}

void FileWindow::SetCaption(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

void FileWindow::SetPanelFile(const std::string& text) { m_panelFile->setText(QString::fromStdString(text)); }

void FileWindow::ExecModal() { exec(); }

void FileWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  m_panel1->setFocus();
}

}  // namespace telvano::ui
