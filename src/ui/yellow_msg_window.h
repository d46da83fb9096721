#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>

#include "core/yellow_msg_view.h"

namespace telvano::ui {

// The message window: paints what TFormYellowMsg decided and waits until a key, a click on PanelOk or, for
// the ready message, TimerReady closes it.
class YellowMsgWindow final : public QDialog, public core::YellowMsgView {
 public:
  explicit YellowMsgWindow(QWidget* parent = nullptr);

  void Show(const core::YellowMsgContent& content) override;
  void ShowInfo(const std::string& text) override;

  // Fills every row without showing the window (Show does this, then waits).
  void Paint(const core::YellowMsgContent& content);

  QLabel* LabelTitle() const { return m_labelTitle; }
  QLabel* PanelType() const { return m_panelType; }
  QLabel* LabelMsgLng() const { return m_labelMsgLng; }
  QLabel* LabelMsgEng() const { return m_labelMsgEng; }
  QLabel* LabelInfo() const { return m_labelInfo; }
  QLabel* PanelOk() const { return m_panelOk; }
  QTimer* TimerReady() { return &m_timerReady; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* m_labelTitle;
  QLabel* m_panelType;
  QLabel* m_labelMsgLng;
  QLabel* m_labelMsgEng;
  QLabel* m_labelInfo;
  QLabel* m_panelOk;
  QTimer m_timerReady;
};

}  // namespace telvano::ui
