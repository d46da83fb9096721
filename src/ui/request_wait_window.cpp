#include "ui/request_wait_window.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <thread>

namespace telvano::ui {

namespace {

// How often the line counts the seconds and the loop looks whether the request has ended.
constexpr int kRefreshMs = 100;

bool IsOperatorInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::Close:  // no window closes under a request that is still on its way
      return true;
    default:
      return false;
  }
}

}  // namespace

RequestWaitWindow::RequestWaitWindow() : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setObjectName("RequestWait");
  setWindowTitle("TELVANO - čeka se PFR");
  m_line = new QLabel(this);
  m_line->setObjectName("RequestWaitLine");
  m_line->setStyleSheet("QLabel { background: #FFFF99; padding: 10px; font-weight: bold; }");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_line);
}

void RequestWaitWindow::Run(const std::string& what, std::chrono::seconds limit, bool mayGiveUp,
                            std::atomic<bool>& giveUp, const std::function<void()>& transfer) {
  m_what = QString::fromStdString(what);
  m_limitSeconds = limit.count();
  m_mayGiveUp = mayGiveUp;
  m_giveUp = &giveUp;
  m_elapsed.start();

  std::atomic<bool> done{false};
  std::thread worker([&transfer, &done] {
    transfer();
    done = true;
  });
  qApp->installEventFilter(this);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ShowLine();
  PlaceOverActiveWindow();
  show();
  QEventLoop loop;
  QTimer refresh;
  QObject::connect(&refresh, &QTimer::timeout, &loop, [this, &done, &loop] {
    if (done) {
      loop.quit();
    } else {
      ShowLine();
    }
  });
  refresh.start(kRefreshMs);
  loop.exec();
  // Ended before the request: the program is ending (a stop signal tells every loop to exit). The request
  // is given up as on the unattended road's stop; an invoice's outcome is then resolved at the next start.
  if (!done) giveUp = true;
  worker.join();
  // What was typed in the last moment is taken from the queue while the filter still drops it.
  QApplication::processEvents();
  hide();
  QApplication::restoreOverrideCursor();
  qApp->removeEventFilter(this);
  m_giveUp = nullptr;
}

bool RequestWaitWindow::eventFilter(QObject* watched, QEvent* event) {
  if (!IsOperatorInput(event->type())) return QWidget::eventFilter(watched, event);
  if (event->type() == QEvent::KeyPress && m_mayGiveUp && m_giveUp != nullptr &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    *m_giveUp = true;
    ShowLine();
  }
  event->ignore();
  return true;
}

void RequestWaitWindow::ShowLine() {
  const long long seconds = m_elapsed.elapsed() / 1000;
  QString text = QString("Čeka se odgovor PFR-a: %1, %2 s od najviše %3 s / Waiting for the processor: %1, %2 s "
                         "of at most %3 s")
                     .arg(m_what)
                     .arg(seconds)
                     .arg(m_limitSeconds);
  if (m_giveUp != nullptr && *m_giveUp) {
    text += "\nPrekida se… / Giving up…";
  } else if (m_mayGiveUp) {
    text += "\nEsc: odustani / give up";
  }
  m_line->setText(text);
  adjustSize();
}

void RequestWaitWindow::PlaceOverActiveWindow() {
  adjustSize();
  const QWidget* active = QApplication::activeWindow();
  QRect area = active != nullptr ? active->frameGeometry() : QRect();
  if (area.isEmpty() && QApplication::primaryScreen() != nullptr)
    area = QApplication::primaryScreen()->availableGeometry();
  move(area.center().x() - width() / 2, area.bottom() - height() - 20);
}

}  // namespace telvano::ui
