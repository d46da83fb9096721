#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace telvano::api {

// The token file cannot be used; what() says why, never what it holds.
class ApiTokenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The bearer token every request but a CORS preflight must present. Only its SHA-256 is kept, and a presented
// token is compared by its SHA-256 in constant time, so neither its length nor its bytes leak through timing.
class ApiToken {
 public:
  // Reads the token from a plain file of the running user (or root) that nobody else may read or write:
  // one line of 16 to 512 visible ASCII characters (a trailing line break is allowed). Raises ApiTokenError.
  static ApiToken Load(const std::string& path);
  static ApiToken FromText(std::string_view token);

  bool Matches(std::string_view presented) const;
  // The token of an "Authorization: Bearer <token>" header value; empty when it is not one.
  static std::string_view BearerOf(std::string_view authorization);

 private:
  explicit ApiToken(std::string digest) : m_digest(std::move(digest)) {}
  std::string m_digest;
};

}  // namespace telvano::api
