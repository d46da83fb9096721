#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace telvano::platform {

// Starts `program` with `arguments` as separate words (no shell ever sees them) and returns at once.
// Returns the new process id, or -1 when the program could not be started (`error` then says why).
// The child is reaped in the background, so no zombie is left behind.
pid_t StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                    std::string* error = nullptr);

// Ends a process that we started (SIGTERM); a process that is already gone is not an error.
void EndProcess(pid_t pid);

}  // namespace telvano::platform
