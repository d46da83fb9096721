#include "ui/yellow_msg_window.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace telvano::ui {

namespace {

QString Css(const core::Rgb& rgb) { return QColor(rgb.red, rgb.green, rgb.blue).name(); }

QLabel* NewLabel(const char* objectName, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(objectName);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QGroupBox* NewGroup(const char* objectName, QWidget* child, QWidget* parent) {
  auto* group = new QGroupBox(parent);
  group->setObjectName(objectName);
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(child);
  return group;
}

}  // namespace

YellowMsgWindow::YellowMsgWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("FormYellowMsg");
  setWindowTitle("TELVANO");
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  setModal(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::ToolTipBase));
  setPalette(palette);
  setAutoFillBackground(true);

  m_labelTitle = NewLabel("LabelTitle", this);
  QFont bold = m_labelTitle->font();
  bold.setBold(true);
  m_labelTitle->setFont(bold);
  m_panelType = NewLabel("PanelType", this);
  m_panelType->setAlignment(Qt::AlignCenter);
  m_panelType->setMinimumWidth(200);
  m_labelMsgLng = NewLabel("LabelMsgLng", this);
  m_labelMsgEng = NewLabel("LabelMsgEng", this);
  m_labelInfo = NewLabel("LabelInfo", this);
  m_panelOk = NewLabel("PanelOk", this);
  m_panelOk->setAlignment(Qt::AlignCenter);
  m_panelOk->setMinimumSize(320, 36);
  m_panelOk->setCursor(Qt::PointingHandCursor);
  m_panelOk->installEventFilter(this);

  auto* titleRow = new QHBoxLayout;
  titleRow->addWidget(NewGroup("GBTitle", m_labelTitle, this), 1);
  titleRow->addWidget(m_panelType);
  auto* textRow = new QHBoxLayout;
  textRow->addWidget(NewGroup("GBMsgLng", m_labelMsgLng, this));
  textRow->addWidget(NewGroup("GBMsgEng", m_labelMsgEng, this), 1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(m_panelOk);
  buttonRow->addStretch(1);
  auto* buttonGroup = new QGroupBox(this);
  buttonGroup->setObjectName("GBButton");
  buttonGroup->setLayout(buttonRow);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(titleRow);
  layout->addLayout(textRow, 1);
  layout->addWidget(NewGroup("GBInfo", m_labelInfo, this));
  layout->addWidget(buttonGroup);

  m_timerReady.setObjectName("TimerReady");
  m_timerReady.setSingleShot(true);
  m_timerReady.setInterval(static_cast<int>(core::kReadyTimeout.count()));
  QObject::connect(&m_timerReady, &QTimer::timeout, this, [this] { close(); });
}

void YellowMsgWindow::Paint(const core::YellowMsgContent& content) {
  setWindowTitle(QString::fromStdString(content.Caption));
  m_labelTitle->setText(QString::fromStdString(content.Title));
  m_panelType->setText(QString::fromStdString(content.TypeCaption));
  m_panelOk->setText(QString::fromStdString(content.OkCaption));
  const QString style = QString("background-color: %1; color: %2; font-weight: bold;")
                            .arg(Css(content.PanelBackground), Css(content.PanelForeground));
  m_panelType->setStyleSheet(style);
  m_panelOk->setStyleSheet(style);
  m_labelMsgLng->setText(QString::fromStdString(content.TextLng));
  m_labelMsgEng->setText(QString::fromStdString(content.TextEng));
  m_labelInfo->setText(QString::fromStdString(content.Info));
  m_timerReady.stop();
  m_timerReady.setProperty("armed", content.TimerReady);
  adjustSize();
}

void YellowMsgWindow::Show(const core::YellowMsgContent& content) {
  Paint(content);
  exec();
  m_timerReady.stop();
}

void YellowMsgWindow::ShowInfo(const std::string& text) {
  QMessageBox box(QMessageBox::Information, "TELVANO", QString::fromStdString(text), QMessageBox::Ok,
                  parentWidget());
  box.setObjectName("InfoBox");
  // Ctrl+C copies the text, as a message box does on Windows: the operator can hand a failure on whole.
  QShortcut copy(QKeySequence::Copy, &box);
  QObject::connect(&copy, &QShortcut::activated, &box, [&box] { QApplication::clipboard()->setText(box.text()); });
  box.exec();
}

void YellowMsgWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = QApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  raise();
  activateWindow();
  if (m_timerReady.property("armed").toBool()) m_timerReady.start();
}

void YellowMsgWindow::keyPressEvent(QKeyEvent* event) {
  // A key that types something closes the message; Shift, Ctrl or Alt pressed alone types nothing.
  switch (event->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
      return;
    default:
      close();
  }
}

bool YellowMsgWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_panelOk && event->type() == QEvent::MouseButtonRelease) {
    close();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace telvano::ui
