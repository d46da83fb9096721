#include "installation_owner.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace telvano::setup {

std::string BecomeInstallationOwner(const std::string& applDataDir) {
  if (::geteuid() != 0) return {};
  struct stat info {};
  if (::lstat(applDataDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid == 0) return {};
  const struct passwd* user = ::getpwuid(info.st_uid);
  if (user == nullptr) return "the owner " + std::to_string(info.st_uid) + " of " + applDataDir + " is no user here";
  const std::string name = user->pw_name;
  const gid_t group = user->pw_gid;
  if (::initgroups(name.c_str(), group) != 0 || ::setgid(group) != 0 || ::setuid(info.st_uid) != 0) {
    return "cannot become " + name + ", the owner of " + applDataDir + ": " + std::strerror(errno);
  }
  if (::getuid() != info.st_uid || ::geteuid() != info.st_uid) return "cannot become " + name;
  ::setenv("HOME", user->pw_dir, 1);
  ::unsetenv("XDG_RUNTIME_DIR");  // root's: the embedded engine's lock folder would be out of reach
  return {};
}

}  // namespace telvano::setup
