#include "platform/code_page.h"

#include <cerrno>
#include <algorithm>
#include <cstdint>
#include <iconv.h>
#include <stdexcept>

namespace telvano::platform {

namespace {

class IconvHandle {
 public:
  IconvHandle(const std::string& to, const std::string& from) : m_handle(iconv_open(to.c_str(), from.c_str())) {
    if (m_handle == reinterpret_cast<iconv_t>(-1))
      throw std::invalid_argument("unknown code page conversion " + from + " -> " + to);
  }
  ~IconvHandle() { iconv_close(m_handle); }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  iconv_t Get() const { return m_handle; }

 private:
  iconv_t m_handle;
};

// Length of the UTF-8 sequence that starts at `text[pos]`, 1 when it is not a valid one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  std::size_t length;
  std::uint32_t minimum;
  std::uint32_t codePoint;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, codePoint = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, codePoint = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(pos + i) & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
  return length;
}

// Converts all of `input`; where iconv stops at a character it cannot convert (or a byte that is not
// valid input), writes "?" and goes on after it. `skip` says how many input bytes that character takes.
template <typename Skip>
std::string Convert(std::string_view input, const std::string& to, const std::string& from, Skip skip) {
  IconvHandle handle(to, from);
  std::string output;
  output.reserve(input.size() + input.size() / 2 + 16);
  char buffer[4096];
  std::size_t pos = 0;
  while (pos < input.size()) {
    char* in = const_cast<char*>(input.data() + pos);
    std::size_t inLeft = input.size() - pos;
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    std::size_t result = iconv(handle.Get(), &in, &inLeft, &out, &outLeft);
    int error = errno;
    output.append(buffer, out - buffer);
    pos = input.size() - inLeft;
    if (result != static_cast<std::size_t>(-1)) break;
    if (error == E2BIG) continue;
    // EILSEQ (cannot be held, or invalid input) or EINVAL (cut off at the end): one "?" for it.
    iconv(handle.Get(), nullptr, nullptr, nullptr, nullptr);
    output.push_back('?');
    pos += std::max<std::size_t>(1, skip(input, pos));
  }
  // Flush a stateful encoding's closing shift sequence.
  char* out = buffer;
  std::size_t outLeft = sizeof buffer;
  iconv(handle.Get(), nullptr, nullptr, &out, &outLeft);
  output.append(buffer, out - buffer);
  return output;
}

}  // namespace

std::string ToUtf8(std::string_view bytes, const std::string& codePage) {
  return Convert(bytes, "UTF-8", codePage, [](std::string_view, std::size_t) { return std::size_t{1}; });
}

std::string FromUtf8(std::string_view text, const std::string& codePage) {
  return Convert(text, codePage, "UTF-8", Utf8SequenceLength);
}

std::optional<std::size_t> FindInvalidUtf8(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t length = Utf8SequenceLength(text, pos);
    if (length == 0) return pos;
    pos += length;
  }
  return std::nullopt;
}

}  // namespace telvano::platform
