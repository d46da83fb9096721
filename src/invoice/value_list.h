#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace telvano::invoice {

// An ordered list of name=value pairs; names are looked up without regard to letter case and the first
// pair of a name counts.
class ValueList {
 public:
  ValueList() = default;
  ValueList(std::initializer_list<std::pair<std::string, std::string>> pairs);
  explicit ValueList(std::vector<std::pair<std::string, std::string>> pairs);

  void Add(std::string name, std::string value);
  // The value of `name`, nullopt when the list has no such name.
  std::optional<std::string> Find(std::string_view name) const;
  // The value of `name`, empty when the list has no such name.
  std::string Value(std::string_view name) const;
  bool Contains(std::string_view name) const { return Find(name).has_value(); }
  const std::vector<std::pair<std::string, std::string>>& Pairs() const { return m_pairs; }
  std::size_t size() const { return m_pairs.size(); }

 private:
  std::vector<std::pair<std::string, std::string>> m_pairs;
};

// ASCII letters upper-cased, every other byte unchanged (UTF-8 sequences stay intact).
std::string AsciiUpper(std::string_view text);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace telvano::invoice
