#pragma once

// Counts what this process asks of the disk while counting is on: explicit flushes (fsync, fdatasync,
// syncfs, sync_file_range) and forced writes (writes through a descriptor opened with O_SYNC or O_DSYNC, as
// Firebird writes its pages with forced writes on). The calls are caught by this executable's own
// definitions of those functions, which the libraries it loads (Firebird's engine too) bind to.
namespace telvano::bench {

struct SyncCounts {
  long flushes = 0;
  long forcedWrites = 0;
};

void StartCountingSyncs();
SyncCounts StopCountingSyncs();

}  // namespace telvano::bench
