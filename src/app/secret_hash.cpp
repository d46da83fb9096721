#include "app/secret_hash.h"

#include <openssl/evp.h>

#include <array>
#include <memory>
#include <stdexcept>

#include "core/text_utils.h"

namespace telvano::app {

std::string StoredSecretForm(const std::string& text) {
  const std::string lowered = core::LowerCaseUnicode(text);
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha512(), nullptr) != 1 ||
      EVP_DigestUpdate(context.get(), lowered.data(), lowered.size()) != 1 ||
      EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) {
    throw std::runtime_error("SHA-512 is not available");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    hex.push_back(kHex[digest[i] >> 4]);
    hex.push_back(kHex[digest[i] & 0x0F]);
  }
  return hex;
}

}  // namespace telvano::app
