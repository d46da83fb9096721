#pragma once

#include <cstdint>
#include <string>

namespace telvano::pfrsim {

// The facts the verification URL carries, in the binary "vl" layout of the tax authority.
struct VerificationFacts {
  std::string requestedBy;  // 8 ASCII characters
  std::string signedBy;     // 8 ASCII characters
  std::uint32_t totalCounter = 0;
  std::uint32_t transactionTypeCounter = 0;
  std::int64_t totalAmountTimes10000 = 0;
  std::uint64_t sdcMilliseconds = 0;
  int invoiceType = 0;
  int transactionType = 0;
  std::string buyerId;
  std::string encryptedInternalData;  // 256 bytes
  std::string signature;              // 256 bytes
};

// version 3; requestedBy; signedBy; totalCounter u32 LE; transactionTypeCounter u32 LE; amount × 10000 u64 LE;
// time in ms u64 BE; invoice type; transaction type; buyerId length + bytes; internal data; signature; MD5 of all
// of it.
std::string VerificationPayload(const VerificationFacts& facts);
// baseUrl + URL-encoded Base64 of the payload.
std::string VerificationUrl(const std::string& baseUrl, const VerificationFacts& facts);

}  // namespace telvano::pfrsim
