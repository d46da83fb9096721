#pragma once

#include <string>

namespace telvano::platform {

// True while another process holds the file open for writing (the POS has not finished it yet).
// Asks the kernel for a read lease, which it refuses exactly while some writer has the file open. Where
// leases are refused for other reasons (not the file's owner without CAP_LEASE, a file system without
// leases, the file gone) the file counts as complete, as the original did whenever it could open it.
bool IsStillBeingWritten(const std::string& path);

}  // namespace telvano::platform
