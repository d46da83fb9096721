#include "verification_url.h"

#include <algorithm>

#include "crypto_text.h"

namespace telvano::pfrsim {

namespace {

void AppendLittleEndian(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

void AppendBigEndian(std::string& out, std::uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Exactly `length` bytes: cut or filled with blanks.
std::string Fixed(const std::string& text, std::size_t length) {
  std::string fixed = text.substr(0, length);
  fixed.resize(length, ' ');
  return fixed;
}

}  // namespace

std::string VerificationPayload(const VerificationFacts& facts) {
  std::string payload;
  payload += static_cast<char>(3);
  payload += Fixed(facts.requestedBy, 8);
  payload += Fixed(facts.signedBy, 8);
  AppendLittleEndian(payload, facts.totalCounter, 4);
  AppendLittleEndian(payload, facts.transactionTypeCounter, 4);
  AppendLittleEndian(payload, static_cast<std::uint64_t>(facts.totalAmountTimes10000), 8);
  AppendBigEndian(payload, facts.sdcMilliseconds, 8);
  payload += static_cast<char>(facts.invoiceType);
  payload += static_cast<char>(facts.transactionType);
  const std::string buyer = facts.buyerId.substr(0, 255);
  payload += static_cast<char>(buyer.size());
  payload += buyer;
  payload += Fixed(facts.encryptedInternalData, 256);
  payload += Fixed(facts.signature, 256);
  payload += Md5(payload);
  return payload;
}

std::string VerificationUrl(const std::string& baseUrl, const VerificationFacts& facts) {
  return baseUrl + UrlEncode(Base64Encode(VerificationPayload(facts)));
}

}  // namespace telvano::pfrsim
