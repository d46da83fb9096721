#pragma once

#include <iosfwd>

#include "core/yellow_msg_view.h"

namespace telvano::core {

// The message window without a screen: writes each message to a stream (stderr by default) and returns
// at once, so an unattended program never waits for an operator who is not there.
class HeadlessYellowMsgView final : public YellowMsgView {
 public:
  HeadlessYellowMsgView();
  explicit HeadlessYellowMsgView(std::ostream& out);
  void Show(const YellowMsgContent& content) override;
  void ShowInfo(const std::string& text) override;

 private:
  std::ostream& m_out;
};

}  // namespace telvano::core
