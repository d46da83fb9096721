#include "db/embedded_access.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace telvano::db {

namespace {

constexpr const char* kDefaultLockFolder = "/tmp/firebird";

bool UsableFolder(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && access(path.c_str(), R_OK | W_OK | X_OK) == 0;
}

bool DefaultLockFolderUsable() {
  struct stat info {};
  if (stat(kDefaultLockFolder, &info) != 0) return access("/tmp", W_OK | X_OK) == 0;  // Firebird creates it
  return UsableFolder(kDefaultLockFolder);
}

}  // namespace

std::string PrepareEmbeddedAccess() {
  if (const char* set = std::getenv("FIREBIRD_LOCK"); set && *set) return set;
  if (DefaultLockFolderUsable()) return "";
  std::string folder;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime && UsableFolder(runtime))
    folder = std::string(runtime) + "/firebird";
  else
    folder = "/tmp/firebird-" + std::to_string(getuid());
  mkdir(folder.c_str(), 0700);
  // A folder in /tmp that someone else made (or a link planted there) is not ours to trust.
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) return "";
  if (!UsableFolder(folder)) return "";
  setenv("FIREBIRD_LOCK", folder.c_str(), 0);
  return folder;
}

}  // namespace telvano::db
