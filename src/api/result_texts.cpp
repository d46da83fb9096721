#include "api/result_texts.h"

#include <openssl/evp.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

#include "platform/whole_file.h"

namespace telvano::api {
namespace {

using Json = nlohmann::ordered_json;

// A result file is at most a few hundred kilobytes (a journal of 1000 items); anything larger is not ours.
constexpr std::size_t kLargestResultFile = 8u * 1024u * 1024u;
constexpr const char* kSuffixes[] = {"_journal.txt", "_vurl.txt", "_qrcode.gif", "_basic.csv", "_err.txt"};

std::optional<std::string> ReadIfThere(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) return std::nullopt;
  return platform::ReadRegularFile(path, kLargestResultFile);
}

Json TextOrNull(const std::optional<std::string>& text) { return text ? Json(*text) : Json(nullptr); }

std::string Dump(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace

ResultTexts ReadResultTexts(const std::string& folder, const std::string& base) {
  const std::string prefix = folder + "/" + base;
  ResultTexts texts;
  texts.journal = ReadIfThere(prefix + "_journal.txt");
  texts.vurl = ReadIfThere(prefix + "_vurl.txt");
  texts.qrCode = ReadIfThere(prefix + "_qrcode.gif");
  texts.basic = ReadIfThere(prefix + "_basic.csv");
  texts.error = ReadIfThere(prefix + "_err.txt");
  if (texts.error && texts.error->starts_with("\xEF\xBB\xBF")) texts.error->erase(0, 3);
  return texts;
}

void RemoveResultFiles(const std::string& folder, const std::string& base) {
  for (const char* suffix : kSuffixes) {
    std::error_code ignored;
    std::filesystem::remove(folder + "/" + base + suffix, ignored);
  }
}

std::string SignedBody(const ResultTexts& texts, const std::string& invoiceNumber) {
  Json body;
  body["status"] = "signed";
  body["invoiceNumber"] = invoiceNumber;
  body["journal"] = TextOrNull(texts.journal);
  body["verificationUrl"] = TextOrNull(texts.vurl);
  body["qrCodeGif"] = texts.qrCode ? Json(EncodeBase64(*texts.qrCode)) : Json(nullptr);
  body["basic"] = TextOrNull(texts.basic);
  return Dump(body);
}

std::string StatusBody(std::string_view status, std::string_view error) {
  Json body;
  body["status"] = status;
  body["error"] = error;
  return Dump(body);
}

std::string EncodeBase64(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                     reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(length));
  return out;
}

}  // namespace telvano::api
