#pragma once

#include <functional>
#include <string>

#include "core/configuration.h"
#include "core/log_writer.h"
#include "core/message_service.h"
#include "core/message_table.h"
#include "core/working_state.h"
#include "core/yellow_msg_view.h"
#include "platform/clock.h"

namespace telvano::core {

// Gives the DB_VERSION setting for the information line. It may throw (database closed or unreadable):
// the line is then built with an empty schema level.
using DbVersionReader = std::function<std::string()>;

// The message window's logic: for every message it decides the kind, captions, colours, both text
// columns, the information line and the ready timer, writes the log line and hands the result to its
// view, which paints it and waits until the operator (or the ready timer) closes it.
class TFormYellowMsg final : public MessageService {
 public:
  // `endCompanion` ends the start-up companion program; it runs before every fatal message numbered 10
  // or less. `readDbVersion` and `endCompanion` may be empty.
  TFormYellowMsg(const Configuration& configuration, const WorkingState& workingState,
                 const platform::Clock& clock, const LogWriter& log, YellowMsgView& view,
                 DbVersionReader readDbVersion = {}, std::function<void()> endCompanion = {});

  void ShowMessageNo(int no) override;
  void ShowMessageText(int no, const std::string& serbianText, const std::string& englishText) override;
  void ShowProcessorError(const std::string& code) override;
  void ShowInfo(const std::string& text) override;

  // The information line: time, working certificate, processor kind, version / schema level. Never fails.
  std::string StatusInfoLine() const;
  // Line wrapping at 64 characters in the configured code page.
  std::string WrapAt64(const std::string& text) const;

  const MessageTable& Messages() const { return m_messages; }
  int MessageNo() const { return m_content.MessageNo; }
  const std::string& LogText() const { return m_content.LogText; }
  // The content of the message shown last (or being shown).
  const YellowMsgContent& LastContent() const { return m_content; }

 private:
  // Caption, title, information line and kind of the current message, then the log line and the modal show.
  void Present();
  void ApplyKind();
  std::string ReadDbVersion() const;

  const Configuration& m_configuration;
  const WorkingState& m_workingState;
  const platform::Clock& m_clock;
  const LogWriter& m_log;
  YellowMsgView& m_view;
  DbVersionReader m_readDbVersion;
  std::function<void()> m_endCompanion;
  MessageTable m_messages;
  YellowMsgContent m_content;
  bool m_timerReady = false;
};

}  // namespace telvano::core
