#include "platform/content_hash.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace telvano::platform {

std::string HexDigest(std::string_view bytes, Digest algorithm) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const EVP_MD* type = algorithm == Digest::Sha256 ? EVP_sha256() : EVP_sha512();
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, type, nullptr) != 1) {
    throw std::runtime_error("the message digest is not available");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0x0F];
  }
  return hex;
}

}  // namespace telvano::platform
