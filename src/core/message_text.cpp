#include "core/message_text.h"

#include "core/code_page_text.h"
#include "core/text_utils.h"

namespace telvano::core {

std::string WrapAt64(std::string_view text, const std::string& codePage) {
  constexpr int kLineWidth = 64;
  const std::string held = ThroughCodePage(text, codePage);
  std::string wrapped;
  wrapped.reserve(held.size() + held.size() / kLineWidth + 1);
  int column = 0;
  std::size_t i = 0;
  while (i < held.size()) {
    const std::string character = Utf8Substr(std::string_view(held).substr(i), 0, 1);
    i += character.size();
    if (column == kLineWidth) {
      wrapped += '\n';
      wrapped += character;
      column = 1;
    } else if (character == "\n") {
      wrapped += character;
      column = 0;
    } else {
      wrapped += character;
      ++column;
    }
  }
  return wrapped;
}

ProcessorErrorParts SplitProcessorErrorText(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return {"", TrimBlanks(text)};
  return {TrimBlanks(text.substr(0, slash)), TrimBlanks(text.substr(slash + 1))};
}

}  // namespace telvano::core
