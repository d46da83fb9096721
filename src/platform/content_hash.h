#pragma once

#include <string>
#include <string_view>

namespace telvano::platform {

// SHA-256 of `bytes` as 64 lower-case hex digits: tells whether a file is still the one seen before.
std::string ContentHash(std::string_view bytes);

}  // namespace telvano::platform
