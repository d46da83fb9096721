#include "crypto_text.h"

#include <openssl/evp.h>

#include <stdexcept>
#include <vector>

namespace telvano::pfrsim {

namespace {

std::string Digest(const EVP_MD* type, std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, type, nullptr) != 1) {
    throw std::runtime_error("digest failed");
  }
  return std::string(reinterpret_cast<const char*>(digest), length);
}

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
  const int length =
      EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  return std::string(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(length));
}

std::optional<std::string> Base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  if (text.empty()) return std::string();
  std::vector<unsigned char> out(text.size() / 4 * 3 + 1);
  const int length =
      EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (length < 0) return std::nullopt;
  // EVP_DecodeBlock counts the padding as zero bytes.
  std::size_t padding = 0;
  if (text.back() == '=') ++padding;
  if (text.size() > 1 && text[text.size() - 2] == '=') ++padding;
  return std::string(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(length) - padding);
}

std::string Md5(std::string_view bytes) { return Digest(EVP_md5(), bytes); }

std::string PseudoRandomBytes(std::string_view seed, std::size_t length) {
  std::string bytes;
  for (std::uint32_t block = 0; bytes.size() < length; ++block) {
    std::string input(seed);
    input.append(reinterpret_cast<const char*>(&block), sizeof block);
    bytes += Digest(EVP_sha256(), input);
  }
  bytes.resize(length);
  return bytes;
}

std::string UrlEncode(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') || byte == '-' ||
        byte == '_' || byte == '.' || byte == '~') {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return encoded;
}

}  // namespace telvano::pfrsim
