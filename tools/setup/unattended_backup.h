#pragma once

#include <chrono>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "core/configuration.h"
#include "platform/clock.h"

namespace telvano::setup {

// telvano-setup --backup [--keep N] on the installation that `configFile` describes: the backup of the menu's
// item "Backup baze podataka" (BackupDB/<database>_<today>.mlf, consistent while the database is in use),
// then the daily backups beyond the N newest are removed. While TELVANO runs on an embedded database the
// engine lets nobody else open it, so the running program is asked to take the backup (between two files)
// and its answer awaited for as long as it runs; otherwise it is taken here. Reports on `out`; a failure goes
// to `err` with its reason and gives 1.
int RunBackup(const std::string& configFile, int keep, platform::Clock& clock, std::ostream& out,
              std::ostream& err);

// The daily backups of a folder (the ones named like `today`, "<stem>_yyyy-mm-dd.mlf": no "_INIT"), newest
// first by the date in their names.
std::vector<std::filesystem::path> DailyBackups(const std::filesystem::path& todaysBackup);

}  // namespace telvano::setup
