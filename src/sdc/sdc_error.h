#pragma once

#include <stdexcept>
#include <string>

namespace telvano::sdc {

// A failed processor check or refresh; what() is the text the caller shows, logs or writes for the POS.
class SdcError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Texts shared by the processor routines (a blank line is "\n\n").
inline constexpr const char* kConnectionErrorText = "Connection error / Greška pri povezivanju\n\n";
inline constexpr const char* kConnectionErrorSerbian = "Greška pri povezivanju\n\n";
inline constexpr const char* kConnectionErrorEnglish = "Connection error\n\n";
inline constexpr const char* kSdcNotAvailableText = "SDC not available / Odabrani PFR nije dostupan\n\n";
inline constexpr const char* kPacInvalidText = "PAC is invalid / PAC je neispravan\n\n";

}  // namespace telvano::sdc
