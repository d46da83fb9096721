#include "sdc/processor_json.h"

namespace telvano::sdc {

namespace {

struct OverLimit {};

}  // namespace

nlohmann::json ParseProcessorJson(std::string_view text) {
  std::size_t values = 0;
  const nlohmann::json::parser_callback_t watch = [&values](int depth, nlohmann::json::parse_event_t event,
                                                             nlohmann::json&) {
    if (depth > kMaxJsonDepth) throw OverLimit{};
    if (event == nlohmann::json::parse_event_t::value && ++values > kMaxJsonValues) throw OverLimit{};
    return true;
  };
  try {
    return nlohmann::json::parse(text.begin(), text.end(), watch, false);
  } catch (const OverLimit&) {
    return nlohmann::json(nlohmann::json::value_t::discarded);
  }
}

}  // namespace telvano::sdc
