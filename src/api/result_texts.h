#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace telvano::api {

// The texts that the result files of one invoice hold, byte for byte (none for a file that is not there).
struct ResultTexts {
  std::optional<std::string> journal;  // <base>_journal.txt
  std::optional<std::string> vurl;     // <base>_vurl.txt
  std::optional<std::string> qrCode;   // <base>_qrcode.gif
  std::optional<std::string> basic;    // <base>_basic.csv
  std::optional<std::string> error;    // <base>_err.txt without its byte-order mark

  bool Signed() const { return basic.has_value(); }
};

ResultTexts ReadResultTexts(const std::string& folder, const std::string& base);
void RemoveResultFiles(const std::string& folder, const std::string& base);

// {"status":"signed","invoiceNumber":…,"journal":…,"verificationUrl":…,"qrCodeGif":<base64>,"basic":…}
std::string SignedBody(const ResultTexts& texts, const std::string& invoiceNumber);
// {"status":<status>,"error":<error>}
std::string StatusBody(std::string_view status, std::string_view error);

// Standard Base64 with padding.
std::string EncodeBase64(std::string_view bytes);

}  // namespace telvano::api
