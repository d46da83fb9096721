#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace telvano::pfrsim {

std::string Base64Encode(std::string_view bytes);
// Standard alphabet with padding; nullopt for anything else.
std::optional<std::string> Base64Decode(std::string_view text);
std::string Md5(std::string_view bytes);
// `length` bytes that look random but follow from `seed` (SHA-256 in counter mode), so that an answer can be
// produced again for the same invoice. They stand in for the secure element's encryption and signature.
std::string PseudoRandomBytes(std::string_view seed, std::size_t length);
// Percent-encoding of everything outside the unreserved characters (as a query value needs it).
std::string UrlEncode(std::string_view text);

}  // namespace telvano::pfrsim
