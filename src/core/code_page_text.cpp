#include "core/code_page_text.h"

#include <stdexcept>

#include "platform/code_page.h"

namespace telvano::core {

// LoadConfiguration has already replaced an unknown code page by UTF-8; a caller that built its own
// Configuration with a name iconv does not know still gets a text, never an exception.

std::string EncodeInCodePage(std::string_view utf8, const std::string& codePage) {
  try {
    return platform::FromUtf8(utf8, codePage);
  } catch (const std::invalid_argument&) {
    return platform::FromUtf8(utf8, "UTF-8");
  }
}

std::string ThroughCodePage(std::string_view utf8, const std::string& codePage) {
  try {
    return platform::ToUtf8(platform::FromUtf8(utf8, codePage), codePage);
  } catch (const std::invalid_argument&) {
    return platform::ToUtf8(platform::FromUtf8(utf8, "UTF-8"), "UTF-8");
  }
}

}  // namespace telvano::core
