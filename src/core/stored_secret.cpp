#include "core/stored_secret.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <stdexcept>

#include "core/text_utils.h"

namespace telvano::core {

std::string StoredSecretForm(const std::string& secret) {
  const std::string lowered = LowerCaseUnicode(secret);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(lowered.data(), lowered.size(), digest, &length, EVP_sha512(), nullptr) != 1) {
    throw std::runtime_error("SHA-512 is not available");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(length * 2);
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0x0F];
  }
  return hex;
}

bool SameStoredSecret(const std::string& given, const std::string& stored) {
  return given.size() == stored.size() && CRYPTO_memcmp(given.data(), stored.data(), given.size()) == 0;
}

void WipeSecretText(std::string& secret) {
  if (!secret.empty()) OPENSSL_cleanse(secret.data(), secret.size());
  secret.clear();
}

}  // namespace telvano::core
