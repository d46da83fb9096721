#include "db/database.h"

#include <charconv>
#include <cmath>

namespace telvano::db {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::string FloatingToString(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
    char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

}  // namespace

Field Field::Null() { return Field(); }

Field Field::Text(std::string text) {
  Field field;
  field.m_kind = Kind::Text;
  field.m_text = std::move(text);
  return field;
}

Field Field::Integer(std::int64_t value) {
  Field field;
  field.m_kind = Kind::Integer;
  field.m_integer = value;
  return field;
}

Field Field::Exact(Decimal value) {
  Field field;
  field.m_kind = Kind::Exact;
  field.m_decimal = value;
  return field;
}

Field Field::Floating(double value) {
  Field field;
  field.m_kind = Kind::Floating;
  field.m_floating = value;
  return field;
}

std::string Field::AsString() const {
  switch (m_kind) {
    case Kind::Null: return "";
    case Kind::Text: return m_text;
    case Kind::Integer: return std::to_string(m_integer);
    case Kind::Exact: return m_decimal.ToString();
    case Kind::Floating: return FloatingToString(m_floating);
  }
  return "";
}

// A null reads as 0, like an empty amount.
std::int64_t Field::AsInt64() const {
  Decimal value = AsDecimal();
  std::int64_t divisor = 1;
  for (int i = 0; i < value.scale; ++i) divisor *= 10;
  if (value.scale < 0 || value.units % divisor != 0)
    throw DbError("not a whole number: " + AsString());
  return value.units / divisor;
}

Decimal Field::AsDecimal() const {
  switch (m_kind) {
    case Kind::Null: return Decimal{};
    case Kind::Integer: return Decimal{m_integer, 0};
    case Kind::Exact: return m_decimal;
    case Kind::Text:
    case Kind::Floating: {
      std::string text = m_kind == Kind::Text ? m_text : FloatingToString(m_floating);
      if (auto parsed = Decimal::Parse(TrimBlanks(text))) return *parsed;
      throw DbError("not a number: " + text);
    }
  }
  return Decimal{};
}

Row::Row(std::shared_ptr<const std::vector<std::string>> names, std::vector<Field> fields)
    : m_names(std::move(names)), m_fields(std::move(fields)) {}

const Field& Row::operator[](std::string_view columnName) const {
  for (std::size_t i = 0; i < m_names->size() && i < m_fields.size(); ++i)
    if (EqualsIgnoringAsciiCase((*m_names)[i], columnName)) return m_fields[i];
  throw DbError("no column named " + std::string(columnName));
}

}  // namespace telvano::db
