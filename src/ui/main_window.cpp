#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/telvano_logo.h"
#include "ui/window_parts.h"

namespace telvano::ui {

namespace {

// The tray shows TELVANO's mark.
QIcon TelvanoIcon() { return QIcon(TelvanoLogo(32)); }

// The panels are large tiles for the keyboard: the window takes every key before its controls, so the
// tiles themselves never hold the focus.
void StylePanel(QPushButton* panel) {
  panel->setFocusPolicy(Qt::NoFocus);
  panel->setMinimumHeight(72);
  panel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  QFont font = panel->font();
  font.setPointSize(14);
  panel->setFont(font);
  panel->setStyleSheet("text-align: left; padding-left: 16px;");
}

}  // namespace

MainWindow::MainWindow(bool trayWanted) {
  setObjectName("FormMainTELVANO");
  setFixedSize(680, 600);
  BuildMenu();

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

QPushButton* MainWindow::AddPanel(QWidget* parent, const char* name, char digit, const QString& caption) {
  auto* panel = new QPushButton(caption, parent);
  panel->setObjectName(name);
  panel->setProperty("tag", QString(QChar(digit)));
  StylePanel(panel);
  QObject::connect(panel, &QPushButton::clicked, this, [this, digit] {
    if (m_handlers.formKeyPress) m_handlers.formKeyPress(digit);
  });
  return panel;
}

QLabel* MainWindow::AddValue(QWidget* parent, const char* name) {
  auto* value = new QLabel(parent);
  value->setObjectName(name);
  QFont font = value->font();
  font.setPointSize(13);
  font.setBold(true);
  value->setFont(font);
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return value;
}

// The left column: the four sub-menus and the end of the program, each under its digit.
QVBoxLayout* MainWindow::BuildLevelColumn(QWidget* central) {
  auto* left = new QVBoxLayout;
  left->setSpacing(10);
  const struct {
    const char* name;
    int level;
  } levels[] = {{"PanelCERT", 1}, {"PanelReport", 2}, {"PanelTest", 3}, {"PanelUtil", 4}, {"PanelExit", 0}};
  for (const auto& entry : levels) {
    QPushButton* panel = AddPanel(central, entry.name, static_cast<char>('0' + entry.level),
                                  QString::fromUtf8(app::kMenuLevelCaptions[entry.level]));
    m_levelPanels[entry.level] = panel;
    left->addWidget(panel);
  }
  return left;
}

// The home screen in the right column: the name, the environment, the taxpayer and the working certificate,
// and the warning line of a certificate that ends soon.
void MainWindow::BuildHomePanel(QWidget* central) {
  m_panelText = new QWidget(central);
  m_panelText->setObjectName("PanelText");
  QFont homeFont = m_panelText->font();
  homeFont.setPointSize(12);
  m_panelText->setFont(homeFont);
  auto* home = new QVBoxLayout(m_panelText);
  auto* heading = new QLabel("TELVANO", m_panelText);
  QFont headingFont = heading->font();
  headingFont.setPointSize(28);
  headingFont.setBold(true);
  heading->setFont(headingFont);
  heading->setAlignment(Qt::AlignCenter);
  home->addWidget(heading);
  auto* values = new QFormLayout;
  values->setVerticalSpacing(12);
  m_panelEnvironment = AddValue(m_panelText, "PanelEnvironment");
  m_panelTin = AddValue(m_panelText, "PanelTIN");
  m_panelCertSerNum = AddValue(m_panelText, "PanelCertSerNum");
  m_panelCertNotAfter = AddValue(m_panelText, "PanelCertNotAfter");
  m_panelOu = AddValue(m_panelText, "PanelOU");
  values->addRow("Okruženje", m_panelEnvironment);
  values->addRow("Obveznik", m_panelTin);
  values->addRow("Sertifikat", m_panelCertSerNum);
  values->addRow("", m_panelCertNotAfter);
  values->addRow("", m_panelOu);
  home->addLayout(values);
  m_panelCertEnd = new QLabel(m_panelText);
  m_panelCertEnd->setObjectName("PanelCertEnd");
  m_panelCertEnd->setWordWrap(true);
  m_panelCertEnd->setStyleSheet("QLabel { color: #C00000; font-weight: bold; }");
  m_panelCertEnd->hide();
  home->addWidget(m_panelCertEnd);
  home->addStretch();
}

// The right column of a sub-menu: its items 5 to 9, hidden on the home screen.
void MainWindow::BuildItemColumn(QWidget* central) {
  m_itemColumn = new QWidget(central);
  auto* items = new QVBoxLayout(m_itemColumn);
  items->setContentsMargins(0, 0, 0, 0);
  items->setSpacing(10);
  const auto captions = app::MenuItemCaptions(0);
  for (int i = 0; i < 5; ++i) {
    const std::string name = "Panel" + std::to_string(5 + i);
    m_itemPanels[i] = AddPanel(m_itemColumn, name.c_str(), static_cast<char>('5' + i), QString::fromStdString(captions[i]));
    items->addWidget(m_itemPanels[i]);
  }
}

void MainWindow::BuildMenu() {
  auto* central = new QWidget(this);
  auto* columns = new QHBoxLayout(central);
  columns->setContentsMargins(16, 16, 16, 16);
  columns->setSpacing(16);
  columns->addLayout(BuildLevelColumn(central), 2);

  auto* right = new QVBoxLayout;
  BuildHomePanel(central);
  right->addWidget(m_panelText);
  BuildItemColumn(central);
  m_itemColumn->hide();
  right->addWidget(m_itemColumn);
  columns->addLayout(right, 3);
  setCentralWidget(central);
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

void MainWindow::ShowMenu(const app::MenuScreen& screen) {
  for (int i = 0; i < 5; ++i) m_itemPanels[i]->setText(QString::fromStdString(screen.itemCaptions[i]));
  m_itemColumn->setVisible(screen.itemsVisible);
  m_panelText->setVisible(screen.homeVisible);
  m_panelEnvironment->setText(QString::fromStdString(screen.environment));
  m_panelTin->setText(QString::fromStdString(screen.tin));
  m_panelCertSerNum->setText(QString::fromStdString(screen.certSerial));
  m_panelCertNotAfter->setText(QString::fromStdString(screen.certNotAfter));
  m_panelOu->setText(QString::fromStdString(screen.unit));
  m_panelCertEnd->setText(QString::fromStdString(screen.certEndWarning));
  m_panelCertEnd->setVisible(!screen.certEndWarning.empty());
  // The sub-menu on screen is sky blue in the left column; the exit keeps the button colour.
  for (int level = 1; level <= 4; ++level) {
    QPushButton* panel = m_levelPanels[level];
    QString style = "text-align: left; padding-left: 16px;";
    if (level == screen.level) style += QString(" background-color: %1;").arg(kSkyBlue);
    panel->setStyleSheet(style);
  }
  m_levelPanels[0]->setStyleSheet("text-align: left; padding-left: 16px;");
  if (!isVisible()) {
    if (const QScreen* display = QGuiApplication::primaryScreen()) {
      move(display->availableGeometry().center() - rect().center());
    }
  }
  show();
  raise();
  activateWindow();
}

void MainWindow::SetPanelsVisible(bool visible) {
  centralWidget()->setVisible(visible);
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

void MainWindow::keyPressEvent(QKeyEvent* event) {
  const QString text = event->text();
  if (text.size() == 1 && text[0].isDigit() && m_handlers.formKeyPress) {
    m_handlers.formKeyPress(static_cast<char>(text[0].unicode()));
    return;
  }
  QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Closing the main window ends the program, as the menu's exit does.
  if (!m_terminating && m_handlers.closeTELVANOClick) m_handlers.closeTELVANOClick();
  event->accept();
}

}  // namespace telvano::ui
