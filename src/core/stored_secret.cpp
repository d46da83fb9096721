#include "core/stored_secret.h"

#include <openssl/crypto.h>

#include "core/text_utils.h"
#include "platform/content_hash.h"

namespace telvano::core {

std::string StoredSecretForm(const std::string& secret) {
  return platform::HexDigest(LowerCaseUnicode(secret), platform::Digest::Sha512);
}

bool SameStoredSecret(const std::string& given, const std::string& stored) {
  return given.size() == stored.size() && CRYPTO_memcmp(given.data(), stored.data(), given.size()) == 0;
}

void WipeSecretText(std::string& secret) {
  if (!secret.empty()) OPENSSL_cleanse(secret.data(), secret.size());
  secret.clear();
}

}  // namespace telvano::core
