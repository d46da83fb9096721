#include "core/headless_yellow_msg_view.h"

#include <iostream>

namespace telvano::core {

HeadlessYellowMsgView::HeadlessYellowMsgView() : m_out(std::cerr) {}

HeadlessYellowMsgView::HeadlessYellowMsgView(std::ostream& out) : m_out(out) {}

void HeadlessYellowMsgView::Show(const YellowMsgContent& content) {
  m_out << content.Title << " [" << content.TypeCaption << "]\n"
        << content.TextLng << "\n--\n"
        << content.TextEng << "\n"
        << content.Info << "\n"
        << std::flush;
}

void HeadlessYellowMsgView::ShowInfo(const std::string& text) {
  m_out << "TELVANO: " << text << "\n" << std::flush;
}

}  // namespace telvano::core
