#pragma once

#include <string>
#include <string_view>

namespace telvano::platform {

enum class Digest { Sha256, Sha512 };

// The digest of `bytes` as lower-case hex digits.
std::string HexDigest(std::string_view bytes, Digest digest);

// SHA-256 of `bytes` as 64 lower-case hex digits: tells whether a file is still the one seen before.
inline std::string ContentHash(std::string_view bytes) { return HexDigest(bytes, Digest::Sha256); }

}  // namespace telvano::platform
