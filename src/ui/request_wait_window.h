#pragma once

#include <QElapsedTimer>
#include <QLabel>
#include <QWidget>

#include "sdc/tform_http.h"

namespace telvano::ui {

// The line that says the operator's window waits for the processor: which request, how long so far and at
// most, and whether Esc gives it up. While it shows, the request runs on a thread of its own, the windows
// keep painting under a busy cursor, and every key and click is dropped, so nothing typed meanwhile acts once
// the answer is there.
class RequestWaitWindow final : public QWidget, public sdc::RequestWait {
 public:
  RequestWaitWindow();

  void Run(const std::string& what, std::chrono::seconds limit, bool mayGiveUp, std::atomic<bool>& giveUp,
           const std::function<void()>& transfer) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowLine();
  void PlaceOverActiveWindow();

  QLabel* m_line = nullptr;
  QElapsedTimer m_elapsed;
  QString m_what;
  long long m_limitSeconds = 0;
  bool m_mayGiveUp = false;
  std::atomic<bool>* m_giveUp = nullptr;
};

}  // namespace telvano::ui
