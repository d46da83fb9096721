#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace telvano::api {

// A request body {"name": …, "csv": …}, parsed.
struct FileBody {
  std::string name;
  std::string text;
};

// The file of a request body, or nothing (and why) when the body is not a JSON object with the string members
// "name" and "csv", or the name is not a bare file name that starts with `prefix` and ends in ".csv" (letter
// case aside), at most 200 bytes without control characters.
std::optional<FileBody> ParseFileBody(std::string_view body, std::string_view prefix, std::string& why);

}  // namespace telvano::api
