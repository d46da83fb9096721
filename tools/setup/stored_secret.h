#pragma once

#include <string>

namespace telvano::setup {

// The stored form of a secret: SHA-512 of the UTF-8 bytes of the text lower-cased (the login field and the
// unattended start both lower-case what they get), as 128 lower-case hexadecimal characters.
std::string StoredSecretForm(const std::string& secret);

}  // namespace telvano::setup
