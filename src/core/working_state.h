#pragma once

#include <string.h>

#include <string>

namespace telvano::core {

// The one working state: the certificate the program works with and, through it, the processor.
struct WorkingState {
  std::string WorkSerial;  // empty: no working certificate
  std::string WorkTin;
  std::string WorkUnit;    // first 7 characters of sub_ou
  std::string WorkUrl;
  bool WorkIsLpfr = true;
  std::string WorkNotAfter;
  std::string WorkEnv;     // "PROD" or "DEV" (empty when cleared)
  std::string WorkPin;     // PIN (LPFR) or PAC (VPFR); never logged
  bool Unattended = false;

  // The PIN or PAC is overwritten, not only forgotten.
  void Clear() {
    const bool unattended = Unattended;
    if (!WorkPin.empty()) explicit_bzero(WorkPin.data(), WorkPin.size());
    *this = WorkingState{};
    Unattended = unattended;
  }
};

}  // namespace telvano::core
