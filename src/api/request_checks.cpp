#include "api/request_checks.h"

#include <nlohmann/json.hpp>

namespace telvano::api {
namespace {

constexpr std::size_t kLongestName = 200;

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(text[i]) != lower(prefix[i])) return false;
  }
  return true;
}

bool IsFileName(std::string_view name, std::string_view prefix) {
  if (name.size() > kLongestName || name.size() <= prefix.size() + 4 || name.front() == '.') return false;
  for (const char c : name) {
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return StartsWithIgnoringCase(name, prefix) && StartsWithIgnoringCase(name.substr(name.size() - 4), ".csv");
}

}  // namespace

std::optional<FileBody> ParseFileBody(std::string_view body, std::string_view prefix, std::string& why) {
  const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    why = "The body is not a JSON object (UTF-8) / Telo zahteva nije JSON objekat";
    return std::nullopt;
  }
  const auto name = json.find("name");
  const auto csv = json.find("csv");
  if (name == json.end() || !name->is_string() || csv == json.end() || !csv->is_string()) {
    why = "The body needs the strings \"name\" and \"csv\" / Telo zahteva mora imati tekstove \"name\" i \"csv\"";
    return std::nullopt;
  }
  FileBody file{name->get<std::string>(), csv->get<std::string>()};
  if (!IsFileName(file.name, prefix)) {
    why = "\"name\" must be a file name " + std::string(prefix) + "….csv of at most 200 bytes, without folders / "
          "\"name\" mora biti naziv fajla " + std::string(prefix) + "….csv";
    return std::nullopt;
  }
  return file;
}

}  // namespace telvano::api
