#include "api/api_token.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/sha.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace telvano::api {
namespace {

constexpr std::size_t kShortestToken = 16;
constexpr std::size_t kLongestToken = 512;

std::string Sha256(std::string_view text) {
  std::string digest(SHA256_DIGEST_LENGTH, '\0');
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(),
         reinterpret_cast<unsigned char*>(digest.data()));
  return digest;
}

bool IsVisibleAscii(std::string_view text) {
  for (const char c : text) {
    if (c < 0x21 || c > 0x7E) return false;
  }
  return true;
}

std::string ReadChecked(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw ApiTokenError("the token file " + path + " cannot be opened: " + std::strerror(errno));
  struct stat info {};
  std::string why;
  if (::fstat(fd, &info) != 0) {
    why = std::string("cannot be examined: ") + std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    why = "is not a plain file";
  } else if ((info.st_mode & 077) != 0) {
    why = "may be read or written by others than its owner (chmod 600 it)";
  } else if (info.st_uid != ::geteuid() && info.st_uid != 0) {
    why = "belongs to another user";
  } else if (info.st_size > static_cast<off_t>(kLongestToken + 2)) {
    why = "is too large for a token";
  }
  std::string text;
  if (why.empty()) {
    text.resize(kLongestToken + 3);
    const ssize_t got = ::read(fd, text.data(), text.size());
    if (got < 0) why = std::string("cannot be read: ") + std::strerror(errno);
    text.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (!why.empty()) throw ApiTokenError("the token file " + path + " " + why);
  return text;
}

}  // namespace

ApiToken ApiToken::Load(const std::string& path) {
  std::string text = ReadChecked(path);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  if (text.empty()) throw ApiTokenError("the token file " + path + " is empty");
  if (text.size() < kShortestToken || text.size() > kLongestToken || !IsVisibleAscii(text)) {
    throw ApiTokenError("the token file " + path + " does not hold one line of 16 to 512 visible ASCII characters");
  }
  return FromText(text);
}

ApiToken ApiToken::FromText(std::string_view token) { return ApiToken(Sha256(token)); }

bool ApiToken::Matches(std::string_view presented) const {
  const std::string digest = Sha256(presented);
  return !presented.empty() && CRYPTO_memcmp(digest.data(), m_digest.data(), digest.size()) == 0;
}

std::string_view ApiToken::BearerOf(std::string_view authorization) {
  constexpr std::string_view kScheme = "Bearer ";
  if (authorization.size() <= kScheme.size()) return {};
  for (std::size_t i = 0; i < kScheme.size(); ++i) {
    const char c = authorization[i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    const char expected = kScheme[i] >= 'A' && kScheme[i] <= 'Z' ? static_cast<char>(kScheme[i] - 'A' + 'a') : kScheme[i];
    if (lower != expected) return {};
  }
  return authorization.substr(kScheme.size());
}

}  // namespace telvano::api
