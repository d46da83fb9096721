#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

namespace telvano::ui {

namespace {

// The tray needs some picture; a plain mark drawn here keeps the program free of image files.
QIcon TelvanoIcon() {
  QPixmap pixmap(32, 32);
  pixmap.fill(QColor(0, 90, 160));
  QPainter painter(&pixmap);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(22);
  painter.setFont(font);
  painter.drawText(pixmap.rect(), Qt::AlignCenter, "T");
  return QIcon(pixmap);
}

}  // namespace

MainWindow::MainWindow(bool trayWanted) {
  setObjectName("FormMainTELVANO");
  setFixedSize(680, 600);
  m_panelText = new QLabel("TELVANO", this);
  m_panelText->setObjectName("PanelText");
  m_panelText->setAlignment(Qt::AlignCenter);
  setCentralWidget(m_panelText);

  m_timer1.setObjectName("Timer1");
  m_timer1.setInterval(1000);
  QObject::connect(&m_timer1, &QTimer::timeout, this, [this] {
    if (m_handlers.timer1Timer) m_handlers.timer1Timer();
  });

  m_popupMenu1.setObjectName("PopupMenu1");
  m_versionEntry = m_popupMenu1.addAction("TELVANO");
  m_popupMenu1.addSeparator();
  m_closeTELVANO = m_popupMenu1.addAction("Exit / Kraj rada");
  m_closeTELVANO->setObjectName("CloseTELVANO");
  QObject::connect(m_closeTELVANO, &QAction::triggered, this, [this] {
    if (m_handlers.closeTELVANOClick) m_handlers.closeTELVANOClick();
  });

  // Without a notification area (a server, the offscreen platform) the program still runs; it is then
  // reached through its files only.
  if (trayWanted && QSystemTrayIcon::isSystemTrayAvailable()) {
    m_trayIcon1 = new QSystemTrayIcon(TelvanoIcon(), this);
    m_trayIcon1->setObjectName("TrayIcon1");
    m_trayIcon1->setContextMenu(&m_popupMenu1);
    QObject::connect(m_trayIcon1, &QSystemTrayIcon::activated, this,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                       if (reason == QSystemTrayIcon::Trigger && m_handlers.trayIcon1Click)
                         m_handlers.trayIcon1Click();
                     });
    m_trayIcon1->show();
  }
}

void MainWindow::SetCaption(const std::string& text) { setWindowTitle(QString::fromStdString(text)); }

void MainWindow::SetTrayMenuCaption(const std::string& text) {
  m_versionEntry->setText(QString::fromStdString(text));
  if (m_trayIcon1 != nullptr) m_trayIcon1->setToolTip(QString::fromStdString(text));
}

void MainWindow::ShowTrayBalloon(const std::string& title, const std::string& text) {
  if (m_trayIcon1 != nullptr) {
    m_trayIcon1->showMessage(QString::fromStdString(title), QString::fromStdString(text));
  }
}

void MainWindow::ShowMenu(int /*level*/) {
  // The home screen; the sub-menus come with the operator's menu.
  show();
  raise();
  activateWindow();
}

void MainWindow::SetPanelsVisible(bool visible) {
  m_panelText->setVisible(visible);
  if (!visible) hide();  // unattended: only the tray icon shows that the program runs
}

void MainWindow::SetTimerEnabled(bool enabled) {
  if (enabled) {
    m_timer1.start();
  } else {
    m_timer1.stop();
  }
}

void MainWindow::Terminate() {
  m_terminating = true;
  m_timer1.stop();
  if (m_trayIcon1 != nullptr) m_trayIcon1->hide();
  QApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program, as the menu's exit does.
  if (!m_terminating && m_handlers.closeTELVANOClick) m_handlers.closeTELVANOClick();
  event->accept();
}

}  // namespace telvano::ui
