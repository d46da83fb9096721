#pragma once

#include <string>
#include <vector>

namespace telvano::app {

// The environment variables that stand in for the unattended start's three parameters.
inline constexpr const char* kSoftKeyVariable = "TELVANO_SOFTKEY";
inline constexpr const char* kPinVariable = "TELVANO_PIN";
inline constexpr const char* kSerialVariable = "TELVANO_SERIAL";

// The start's parameters: software secret, PIN or PAC, serial. The POS passes them on the command line; a
// service (telvano.service, whose unit every local user can read) gives them as TELVANO_SOFTKEY,
// TELVANO_PIN and TELVANO_SERIAL from a root-only environment file instead. The variables count only when
// `commandLine` is empty and TELVANO_SOFTKEY is not empty; a missing PIN or serial is an empty text.
// All three are taken out of the environment in every case, their values overwritten first, so that
// neither /proc/<pid>/environ nor a program started later (Ostrapo, Vexo) sees them.
std::vector<std::string> StartArguments(const std::vector<std::string>& commandLine);

}  // namespace telvano::app
