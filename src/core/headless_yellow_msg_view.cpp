#include "core/headless_yellow_msg_view.h"

#include <iostream>

#include "platform/journal_stream.h"

namespace telvano::core {

HeadlessYellowMsgView::HeadlessYellowMsgView() : m_out(std::cerr), m_forJournal(false) {}

HeadlessYellowMsgView::HeadlessYellowMsgView(std::ostream& out, bool forJournal)
    : m_out(out), m_forJournal(forJournal) {}

void HeadlessYellowMsgView::Show(const YellowMsgContent& content) {
  if (m_forJournal) return;
  m_out << content.Title << " [" << content.TypeCaption << "]\n"
        << content.TextLng << "\n--\n"
        << content.TextEng << "\n"
        << content.Info << "\n"
        << std::flush;
}

void HeadlessYellowMsgView::ShowInfo(const std::string& text) {
  if (m_forJournal) {
    m_out << platform::JournalLines(platform::Priority::Warning, text) << std::flush;
  } else {
    m_out << "TELVANO: " << text << "\n" << std::flush;
  }
}

}  // namespace telvano::core
