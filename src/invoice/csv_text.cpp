#include "invoice/csv_text.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

#include "invoice/invoice_error.h"
#include "invoice/value_list.h"

namespace telvano::invoice {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

bool IsEmptyAfterTrim(std::string_view line) {
  for (char c : line) {
    if (static_cast<unsigned char>(c) > 32) return false;
  }
  return true;
}

// The 1-based line number of byte `offset`, counting CR LF, lone CR and lone LF as one break each.
std::size_t LineNumberAt(std::string_view text, std::size_t offset) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++line;
    } else if (text[i] == '\n') {
      ++line;
    }
  }
  return line;
}

// Walks one line with the field rule; calls `emit(field)` for every field. Linear in the line length.
template <typename Emit>
void WalkFields(std::string_view line, Emit&& emit) {
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n && IsBlank(line[i])) ++i;
  while (i < n) {
    std::string field;
    if (line[i] == '"') {
      ++i;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            field.push_back('"');
            i += 2;
            continue;
          }
          ++i;  // the closing quote
          break;
        }
        field.push_back(line[i]);
        ++i;
      }
    } else {
      const std::size_t start = i;
      while (i < n && line[i] != ',' && !IsBlank(line[i])) ++i;
      field.assign(line.substr(start, i - start));
    }
    if (!emit(std::move(field))) return;
    while (i < n && IsBlank(line[i])) ++i;
    if (i < n && line[i] == ',') {
      if (i == n - 1) {
        emit(std::string());
        return;
      }
      ++i;
      while (i < n && IsBlank(line[i])) ++i;
    }
  }
}

}  // namespace

bool IsValidUtf8(std::string_view text, std::size_t* badOffset) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    std::size_t length = 0;
    unsigned int min = 0;
    unsigned int cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      length = 2, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4, min = 0x10000, cp = c & 0x07;
    } else {
      if (badOffset) *badOffset = i;
      return false;
    }
    if (i + length > n) {
      if (badOffset) *badOffset = i;
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) {
        if (badOffset) *badOffset = i;
        return false;
      }
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      if (badOffset) *badOffset = i;
      return false;
    }
    i += length;
  }
  return true;
}

bool IsUtf8CodePageName(std::string_view codePage) {
  return codePage.empty() || EqualsIgnoreAsciiCase(codePage, "UTF-8") || EqualsIgnoreAsciiCase(codePage, "UTF8");
}

std::string CodePageToUtf8(std::string_view bytes, std::string_view codePage) {
  const std::string from(codePage);
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("Nepoznata kodna strana: " + from);
  std::string out;
  out.reserve(bytes.size() * 2);
  char buffer[4096];
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  while (inLeft > 0) {
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
    if (rc == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // A byte the code page does not define: write "?" and go on with the next byte.
      out.push_back('?');
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

std::string DecodeInvoiceText(std::string_view bytes, std::string_view codePage) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  std::size_t badOffset = 0;
  if (IsValidUtf8(bytes, &badOffset)) return std::string(bytes);
  if (!IsUtf8CodePageName(codePage)) return CodePageToUtf8(bytes, codePage);
  throw InvoiceError("Neispravan UTF-8 tekst u redu " + std::to_string(LineNumberAt(bytes, badOffset)) +
                     " / Invalid UTF-8 text in line " + std::to_string(LineNumberAt(bytes, badOffset)));
}

std::vector<std::string> SplitInvoiceLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  const std::size_t n = text.size();
  auto take = [&](std::size_t end) {
    const std::string_view line = text.substr(start, end - start);
    if (!IsEmptyAfterTrim(line)) lines.emplace_back(line);
  };
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      take(i);
      if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < n) take(n);
  return lines;
}

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  WalkFields(line, [&](std::string field) {
    fields.push_back(std::move(field));
    return true;
  });
  return fields;
}

std::string FirstField(std::string_view line) {
  std::string first;
  WalkFields(line, [&](std::string field) {
    first = std::move(field);
    return false;
  });
  return first;
}

std::size_t CountFields(std::string_view line) {
  std::size_t count = 0;
  WalkFields(line, [&](std::string) {
    ++count;
    return true;
  });
  return count;
}

}  // namespace telvano::invoice
