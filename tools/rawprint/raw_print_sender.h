#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace telvano::rawprint {

// Exit codes of Ostrapo.
enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 2,             // wrong arguments
  kExitScriptUnreadable = 3,  // the script file cannot be read (or is too big)
  kExitScriptRefused = 4,     // unknown token, number above 255, wrong code length, ...
  kExitPortRefused = 5,       // the port text is not allowed
  kExitPortUnavailable = 6,   // an allowed port that cannot be opened or reached
  kExitSendFailed = 7,        // the printer stopped taking the bytes
};

// The largest script the sender reads.
inline constexpr std::size_t kMaxScriptBytes = 8u << 20;

// One run of Ostrapo with its arguments (without the program name): reads and translates the whole
// script, and only then opens the port and sends the bytes with the script's pauses. A failure prints
// one line "Ostrapo: reason" to `err`. Every run that got as far as a script path appends one line to
// Ostrapo_log.txt in the log folder: time, script, port, bytes sent, result.
int RunOstrapo(const std::vector<std::string>& arguments, std::ostream& err);

}  // namespace telvano::rawprint
