#pragma once

#include <string>
#include <string_view>

namespace telvano::invoice {

// A compact JSON text built member by member, in the order of the calls. Text is written as UTF-8;
// quotation marks, backslashes and control characters are escaped. Numbers are written in their shortest
// form that reads back to the same double, with "." and without an exponent.
class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::string_view value);
  JsonWriter& Number(double value);

  const std::string& Text() const { return m_text; }

 private:
  void Separate();

  std::string m_text;
  bool m_needComma = false;
};

// The JSON string literal of `value`, quotes included.
std::string JsonQuote(std::string_view value);

// The shortest round-trip text of a double with "." and no exponent ("2", "34.23", "-0.5"); -0 gives "0".
std::string ShortestNumberText(double value);

}  // namespace telvano::invoice
