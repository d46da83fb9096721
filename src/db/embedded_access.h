#pragma once

#include <string>

namespace telvano::db {

// Embedded Firebird keeps its lock files in one folder (FIREBIRD_LOCK, by default /tmp/firebird). The
// default folder is created by whoever uses Firebird first, with access for that user's group only, so a
// normal user often cannot use it. When FIREBIRD_LOCK is not set and the default folder is not usable,
// this points FIREBIRD_LOCK at a private folder ($XDG_RUNTIME_DIR/firebird, else /tmp/firebird-<uid>).
// Safe because the embedded engine opens a database file exclusively: a second process, whatever its
// lock folder, is refused rather than let in. Call before the first attach of the process.
// Returns the lock folder in force ("" when Firebird's default is used).
std::string PrepareEmbeddedAccess();

}  // namespace telvano::db
