#pragma once

#include <string>

#include "db/database.h"

namespace telvano::db {

// Writes a copy of the database that `source` names as a database file `target` that opens on its own, while
// this program (or anyone else) keeps the database open and goes on writing to it. The copy shows the
// database exactly as it stood at one instant: every transaction committed by then, nothing after it.
//
// Taken with Firebird's physical backup through its services API (what nbackup does), in two steps:
//  1. a level-0 backup (isc_action_svc_nbak) into a temporary file beside `target`: the engine puts the
//     database under its backup lock (ALTER DATABASE BEGIN BACKUP, new writes go to the .delta file), copies
//     the frozen pages and ends the lock (END BACKUP merges the delta back);
//  2. a restore of that file (isc_action_svc_nrest) into a second temporary file: the pages are copied again
//     and the backup mark that every copy made under the lock carries is cleared (nbackup's "fixup"); without
//     it Firebird refuses to open the copy until a .delta file of the copy's name appears.
// The restored file then replaces `target` by a rename, so an earlier backup of that name stays whole until
// the new one is complete, and the temporary files are removed.
//
// A plain copy of the open file (what the original does) can catch pages from different moments and give a
// broken database; a copy under BEGIN BACKUP is consistent but needs the fix-up, which Firebird 3 offers
// only in the nbackup program (its services API gained it in Firebird 4); gbak's logical backup gives no
// database file, and its restore rebuilds every index, many times slower on a shop's database of years.
// The two services steps are Firebird's own, run inside this process for an embedded database (a plain
// path) and on the server for "host:path" (the paths are then the server's). The removal of leftovers and
// the final rename are done here, so with a server the folder must be this machine's too ("localhost:").
//
// `target`'s folder must exist; the temporary files are hidden names there ("." + the target's name +
// ".nbk" / ".part"), and leftovers of an interrupted earlier run are removed first. Raises DbError with
// Firebird's text when a step of the engine fails (the database under the lock already, no room, no
// rights), platform::FileError when a file step fails; nothing of the new copy is left behind then.
void BackupDatabaseFile(const Database::Options& source, const std::string& target);

}  // namespace telvano::db
