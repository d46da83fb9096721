#include "invoice/json_writer.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace telvano::invoice {

std::string JsonQuote(std::string_view value) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(value.size() + 2);
  out.push_back('"');
  for (char c : value) {
    const auto code = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (code < 0x20) {
          out += "\\u00";
          out.push_back(kHex[code >> 4]);
          out.push_back(kHex[code & 0x0F]);
        } else {
          out.push_back(c);
        }
    }
  }
  out.push_back('"');
  return out;
}

std::string ShortestNumberText(double value) {
  // JSON has no NaN or infinity; such a value cannot come from a numeric column.
  if (!std::isfinite(value)) throw std::runtime_error("Broj nije konačan / Number is not finite");
  if (value == 0) value = 0;  // no "-0"
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

void JsonWriter::Separate() {
  if (m_needComma) m_text.push_back(',');
  m_needComma = false;
}

JsonWriter& JsonWriter::BeginObject() {
  Separate();
  m_text.push_back('{');
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  m_text.push_back('}');
  m_needComma = true;
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Separate();
  m_text.push_back('[');
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  m_text.push_back(']');
  m_needComma = true;
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  Separate();
  m_text += JsonQuote(key);
  m_text.push_back(':');
  return *this;
}

JsonWriter& JsonWriter::String(std::string_view value) {
  Separate();
  m_text += JsonQuote(value);
  m_needComma = true;
  return *this;
}

JsonWriter& JsonWriter::Number(double value) {
  Separate();
  m_text += ShortestNumberText(value);
  m_needComma = true;
  return *this;
}

}  // namespace telvano::invoice
