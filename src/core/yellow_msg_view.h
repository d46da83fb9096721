#pragma once

#include <chrono>
#include <string>

#include "core/message_kind.h"

namespace telvano::core {

// Message 31 closes by itself this long after it was shown, unless the operator closed it first.
inline constexpr std::chrono::milliseconds kReadyTimeout{3000};

// Everything the message window shows, decided by TFormYellowMsg; the view only paints it and waits.
struct YellowMsgContent {
  int MessageNo = 0;
  MessageKind Kind = MessageKind::Fatal;
  std::string Caption = "TELVANO";  // the window's caption
  std::string Title;                // LabelTitle: "TELVANO - Poruka / Message:   " + (1000 + no)
  std::string TypeCaption;          // PanelType
  std::string OkCaption;            // PanelOk
  Rgb PanelBackground;              // PanelType and PanelOk
  Rgb PanelForeground;
  std::string TextLng;      // LabelMsgLng: the Serbian column
  std::string TextEng;      // LabelMsgEng: the English column
  std::string Info;         // LabelInfo: "Info: " + the information line
  bool TimerReady = false;  // close by itself after kReadyTimeout
  std::string LogText;      // what the log line says (its first line)
};

// The message window's painter. The Qt window implements it; without a screen HeadlessYellowMsgView does.
class YellowMsgView {
 public:
  virtual ~YellowMsgView() = default;
  // Shows the message modally: returns when the window has closed (a key, a click on PanelOk, or the ready
  // timer when content.TimerReady is set).
  virtual void Show(const YellowMsgContent& content) = 0;
  // A plain information box with one OK button; returns when it has closed.
  virtual void ShowInfo(const std::string& text) = 0;
};

}  // namespace telvano::core
