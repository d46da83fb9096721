#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

namespace telvano::sdc {

// The deepest nesting and the most values a processor answer may have. A signed invoice answer nests four
// deep and holds a few hundred values (a thousand items' tax lines stay far below the count); a body of
// 16 MB could otherwise parse into a gigabyte.
inline constexpr int kMaxJsonDepth = 32;
inline constexpr std::size_t kMaxJsonValues = 200000;

// Parses a processor's answer like nlohmann::json::parse(text, nullptr, false): a discarded value for text
// that is not JSON, and also for an answer nested deeper or holding more values than the limits above.
nlohmann::json ParseProcessorJson(std::string_view text);

}  // namespace telvano::sdc
