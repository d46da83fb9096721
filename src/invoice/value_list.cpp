#include "invoice/value_list.h"

namespace telvano::invoice {

ValueList::ValueList(std::initializer_list<std::pair<std::string, std::string>> pairs) : m_pairs(pairs) {}

ValueList::ValueList(std::vector<std::pair<std::string, std::string>> pairs) : m_pairs(std::move(pairs)) {}

void ValueList::Add(std::string name, std::string value) { m_pairs.emplace_back(std::move(name), std::move(value)); }

std::optional<std::string> ValueList::Find(std::string_view name) const {
  for (const auto& [key, value] : m_pairs) {
    if (EqualsIgnoreAsciiCase(key, name)) return value;
  }
  return std::nullopt;
}

std::string ValueList::Value(std::string_view name) const { return Find(name).value_or(std::string()); }

std::string AsciiUpper(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace telvano::invoice
