#pragma once

#include <string>

namespace telvano::core {

// The stored form of a secret (the login and the unattended-start secrets): SHA-512 of the secret
// lower-cased, as 128 lower-case hexadecimal characters. The installation tool writes it and the program
// compares against it, so both must use this one function.
std::string StoredSecretForm(const std::string& secret);

// Compares a secret's stored form with another in constant time: how long it takes says nothing of how many
// characters matched.
bool SameStoredSecret(const std::string& given, const std::string& stored);

// Overwrites a secret's characters before the text is emptied, so no copy stays in freed memory.
void WipeSecretText(std::string& secret);

}  // namespace telvano::core
