#pragma once

#include <iosfwd>

#include "core/yellow_msg_view.h"

namespace telvano::core {

// The message window without a screen: writes each message to a stream (stderr by default) and returns
// at once, so an unattended program never waits for an operator who is not there. Written for the journal,
// a numbered message shows nothing more (its log line has reached the journal with its priority) and a
// plain box's lines are warnings.
class HeadlessYellowMsgView final : public YellowMsgView {
 public:
  HeadlessYellowMsgView();
  explicit HeadlessYellowMsgView(std::ostream& out, bool forJournal = false);
  void Show(const YellowMsgContent& content) override;
  void ShowInfo(const std::string& text) override;

 private:
  std::ostream& m_out;
  bool m_forJournal;
};

}  // namespace telvano::core
