#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace telvano::platform {

// Why `program` must not be started ("" when it may): it and its folder (and, for a link, the link's
// folder and the file it leads to with that file's folder) must belong to root or to the running user and
// be writable by nobody else. A program that someone else may replace would run with our rights.
std::string UntrustedProgramReason(const std::string& program);

// Starts `program` with `arguments` as separate words (no shell ever sees them) and returns at once.
// Returns the new process id, or -1 when the program could not be started (`error` then says why); a
// program that UntrustedProgramReason refuses is never started.
// The child is reaped in the background, so no zombie is left behind.
pid_t StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                    std::string* error = nullptr);

// Ends a process that we started (SIGTERM); a process that is already gone is not an error.
void EndProcess(pid_t pid);

}  // namespace telvano::platform
