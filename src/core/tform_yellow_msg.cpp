#include "core/tform_yellow_msg.h"

#include "core/code_page_text.h"
#include "core/message_text.h"
#include "core/status_info_line.h"

namespace telvano::core {
namespace {

constexpr int kReadyMessageNo = 31;
constexpr int kProcessorErrorMessageNo = 19;
constexpr int kLastMessageEndingCompanion = 10;

platform::Priority PriorityOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Fatal: return platform::Priority::Error;
    case MessageKind::Warning: return platform::Priority::Warning;
    case MessageKind::Information: break;
  }
  return platform::Priority::Information;
}

}  // namespace

TFormYellowMsg::TFormYellowMsg(const Configuration& configuration, const WorkingState& workingState,
                               const platform::Clock& clock, const LogWriter& log, YellowMsgView& view,
                               DbVersionReader readDbVersion, std::function<void()> endCompanion)
    : m_configuration(configuration),
      m_workingState(workingState),
      m_clock(clock),
      m_log(log),
      m_view(view),
      m_readDbVersion(std::move(readDbVersion)),
      m_endCompanion(std::move(endCompanion)) {}

void TFormYellowMsg::ShowMessageNo(int no) {
  m_content = YellowMsgContent{};
  m_content.MessageNo = no;
  m_content.LogText = ThroughCodePage(m_messages.TextEnglish(no), m_configuration.CodePage);
  m_content.TextLng = m_messages.TextInLanguage(no);
  m_content.TextEng = m_messages.TextEnglish(no);
  m_timerReady = no == kReadyMessageNo;
  if (no <= kLastMessageEndingCompanion && m_endCompanion) {
    try {
      m_endCompanion();
    } catch (...) {
      // Nobody waits for the companion or checks that it ended.
    }
  }
  Present();
}

void TFormYellowMsg::ShowMessageText(int no, const std::string& serbianText, const std::string& englishText) {
  const std::string serbian = serbianText.empty() ? englishText : serbianText;
  const std::string english = englishText.empty() ? serbian : englishText;
  m_content = YellowMsgContent{};
  m_content.MessageNo = no;
  m_content.LogText = ThroughCodePage(english, m_configuration.CodePage);
  m_content.TextLng = WrapAt64(serbian);
  m_content.TextEng = WrapAt64(english);
  Present();
}

void TFormYellowMsg::ShowProcessorError(const std::string& code) {
  const std::string value = ProcessorErrorTextOf(code);
  const ProcessorErrorParts parts = SplitProcessorErrorText(value);
  m_content = YellowMsgContent{};
  m_content.MessageNo = kProcessorErrorMessageNo;
  m_content.LogText = ThroughCodePage(code + ": " + value, m_configuration.CodePage);
  m_content.TextLng = WrapAt64("PFR GREŠKA\n\n" + code + ": " + parts.serbian);
  m_content.TextEng = WrapAt64("SDC ERROR\n\n" + code + ": " + parts.english);
  Present();
}

void TFormYellowMsg::ShowInfo(const std::string& text) { m_view.ShowInfo(text); }

std::string TFormYellowMsg::StatusInfoLine() const {
  return core::StatusInfoLine(m_clock.LocalNow(), m_workingState, m_configuration.ProgramVersion,
                              ReadDbVersion());
}

std::string TFormYellowMsg::WrapAt64(const std::string& text) const {
  return core::WrapAt64(text, m_configuration.CodePage);
}

std::string TFormYellowMsg::ReadDbVersion() const {
  if (!m_readDbVersion) return {};
  try {
    return m_readDbVersion();
  } catch (...) {
    return {};  // a closed or unreadable database leaves the schema level empty
  }
}

void TFormYellowMsg::ApplyKind() {
  const MessageKindStyle& style = StyleOf(KindOfMessage(m_content.MessageNo));
  m_content.Kind = style.kind;
  m_content.TypeCaption = style.typeCaption;
  m_content.OkCaption = style.okCaption;
  m_content.PanelBackground = style.background;
  m_content.PanelForeground = style.foreground;
  m_content.TextLng = style.serbianPrefix + m_content.TextLng;
  m_content.TextEng = style.englishPrefix + m_content.TextEng;
}

void TFormYellowMsg::Present() {
  m_content.Caption = "TELVANO";
  m_content.Title = "TELVANO - Poruka / Message:   " + std::to_string(1000LL + m_content.MessageNo);
  m_content.Info = "Info: " + StatusInfoLine();
  m_content.TimerReady = m_timerReady;
  ApplyKind();
  try {
    m_log.AppendLogLine(kLogFileName, m_content.LogText, PriorityOf(m_content.Kind));
  } catch (const std::exception& error) {
    // The operator must still see the message; the lost log line is reported where it can be seen.
    m_log.Echo(error.what(), platform::Priority::Error);
  }
  m_view.Show(m_content);
  // Whichever way the window closed, the ready timer is off: a later message must never close by itself.
  m_timerReady = false;
}

}  // namespace telvano::core
