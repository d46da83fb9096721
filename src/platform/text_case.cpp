#include "platform/text_case.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace telvano::platform {

std::string ToUpperUnicode(std::string_view utf8) {
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  text.toUpper(icu::Locale::getRoot());
  std::string result;
  text.toUTF8String(result);
  return result;
}

}  // namespace telvano::platform
