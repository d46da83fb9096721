#pragma once

#include <openssl/ssl.h>

#include <string>

namespace telvano::pfrsim {

// An HTTP/1.1 answer cut off in the middle: a head announcing the whole body (its full Content-Length,
// Connection: close) followed by only the first half of the body.
std::string HalfAnswer(int status, const std::string& contentType, const std::string& body);

// Writes `bytes` on a connection whose socket httplib owns (through TLS when `ssl` is set), then ends the
// connection so that nothing more reaches the client. False when the bytes could not all be written.
bool SendThenClose(SSL* ssl, int socket, const std::string& bytes);

}  // namespace telvano::pfrsim
