#include "ui/file_window.h"

#include <QApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace telvano::ui {

namespace {

constexpr const char* kSkyBlue = "#87CEEB";

}  // namespace

FileWindow::FileWindow(const core::FileWindowForm& form, QWidget* parent) : QDialog(parent) {
  setObjectName(form.objectName);
  setWindowTitle(QString::fromUtf8(form.caption));
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

  m_panel1 = new QPushButton(QString::fromUtf8(form.panel1Caption), this);
  m_panel1->setObjectName("Panel1");
  m_panel1->setMinimumHeight(72);
  m_panel1->setDefault(true);
  m_panel1->setAutoDefault(true);
  m_panel1->setStyleSheet(QString("background-color: %1; color: black;").arg(kSkyBlue));
  QFont panelFont = m_panel1->font();
  panelFont.setPointSize(14);
  m_panel1->setFont(panelFont);

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
