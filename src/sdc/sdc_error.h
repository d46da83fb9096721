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
// Added when a processor's answer could not be saved for the POS.
inline constexpr const char* kEarlierFileStaysText =
    "Novi fajl nije upisan; raniji fajl, ako postoji, je ostao kakav je bio / The new file was not written; an "
    "earlier one, if any, is as it was";

}  // namespace telvano::sdc
