#include "system_install.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace telvano::setup {
namespace fs = std::filesystem;

namespace {

struct OwnerIds {
  uid_t user;
  gid_t group;
};

OwnerIds ResolveOwner(const std::string& owner) {
  const std::size_t colon = owner.find(':');
  const std::string userName = owner.substr(0, colon);
  const passwd* user = ::getpwnam(userName.c_str());
  if (user == nullptr) throw std::runtime_error("no user \"" + userName + "\" on this system");
  OwnerIds ids{user->pw_uid, user->pw_gid};
  if (colon != std::string::npos) {
    const std::string groupName = owner.substr(colon + 1);
    const group* named = ::getgrnam(groupName.c_str());
    if (named == nullptr) throw std::runtime_error("no group \"" + groupName + "\" on this system");
    ids.group = named->gr_gid;
  }
  return ids;
}

// Who may touch a folder of the installation besides its owner: the POS's group only puts files into the
// input folder and takes them out of the output folder, and passes through the folders above them.
enum class Zone {
  Passage,  // the installation's root and the exchange root: the group may pass (x), nothing more
  Shared,   // SDC_Inp and SDC_Out: the group reads and writes; what is written later keeps the group
  Private,  // everything else (database, backups, keys, log, archive, programs): the owner alone
};

Zone ChildZone(Zone parent, const std::string& name) {
  if (parent == Zone::Shared) return Zone::Shared;
  if (parent == Zone::Passage) {
    if (name == "ExchData") return Zone::Passage;
    if (name == "SDC_Inp" || name == "SDC_Out") return Zone::Shared;
  }
  return Zone::Private;
}

mode_t FolderMode(Zone zone) { return zone == Zone::Shared ? 02770 : zone == Zone::Passage ? 02710 : 0700; }
mode_t FileMode(Zone zone) { return zone == Zone::Shared ? 0660 : 0600; }

[[noreturn]] void Fail(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), "cannot give " + what + " to its owner");
}

// Every step goes through a descriptor opened without following a link, so an entry swapped for a link
// during the walk (the group may write the shared folders) leads nowhere outside the tree. A file with more
// than one name may be someone else's file linked in: it is left alone.
void GiveFolder(int folder, const std::string& path, Zone zone, const OwnerIds& ids) {
  if (::fchown(folder, ids.user, ids.group) != 0 || ::fchmod(folder, FolderMode(zone)) != 0) Fail(path);
  DIR* listing = ::fdopendir(::dup(folder));
  if (listing == nullptr) Fail(path);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(listing);
  for (const std::string& name : names) {
    const std::string child = path + "/" + name;
    struct stat info {};
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
    if (S_ISDIR(info.st_mode)) {
      const int inner = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (inner < 0) continue;  // replaced by something else meanwhile: not followed
      try {
        GiveFolder(inner, child, ChildZone(zone, name), ids);
      } catch (...) {
        ::close(inner);
        throw;
      }
      ::close(inner);
    } else if (S_ISREG(info.st_mode) && info.st_nlink == 1) {
      const int file = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
      if (file < 0) continue;
      struct stat opened {};
      const bool same = ::fstat(file, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_nlink == 1 &&
                        opened.st_ino == info.st_ino && opened.st_dev == info.st_dev;
      const bool given =
          !same || (::fchown(file, ids.user, ids.group) == 0 && ::fchmod(file, FileMode(zone)) == 0);
      ::close(file);
      if (!given) Fail(child);
    } else if (S_ISLNK(info.st_mode)) {
      // The link itself (the helper programs' links), never what it points at.
      if (::fchownat(folder, name.c_str(), ids.user, ids.group, AT_SYMLINK_NOFOLLOW) != 0) Fail(child);
    }
    // FIFOs, sockets and devices are nobody's business here: left as they are.
  }
}

}  // namespace

std::string HelperProgramFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return (self.parent_path().parent_path() / "lib" / "telvano").string();
}

bool UserExists(const std::string& name) { return ::getpwnam(name.c_str()) != nullptr; }

void LinkHelperPrograms(const std::string& helperFolder, const std::string& runTimeDir, std::ostream& out) {
  std::error_code error;
  if (helperFolder.empty() || !fs::is_directory(helperFolder, error)) return;
  for (const fs::directory_entry& entry : fs::directory_iterator(helperFolder)) {
    if (!entry.is_regular_file() || ::access(entry.path().c_str(), X_OK) != 0) continue;
    const fs::path link = fs::path(runTimeDir) / entry.path().filename();
    if (fs::exists(fs::symlink_status(link))) continue;
    fs::create_symlink(entry.path(), link);
    out << "  linked           " << link.string() << " -> " << entry.path().string() << "\n";
  }
}

void CheckOwner(const std::string& owner) { ResolveOwner(owner); }

void GiveToOwner(const std::string& folder, const std::string& owner, bool passage) {
  const OwnerIds ids = ResolveOwner(owner);
  const int top = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (top < 0) Fail(folder);
  try {
    GiveFolder(top, folder, passage ? Zone::Passage : Zone::Private, ids);
  } catch (...) {
    ::close(top);
    throw;
  }
  ::close(top);
}

void ShareWithOwnerGroup(const std::string& file, const std::string& owner, bool holdsSecret) {
  const OwnerIds ids = ResolveOwner(owner);
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) Fail(file);
  // A configuration with the server's password is the owner's alone; without one the group may read it.
  const bool given = holdsSecret ? ::fchown(fd, ids.user, ids.group) == 0 && ::fchmod(fd, 0600) == 0
                                 : ::fchown(fd, ::geteuid(), ids.group) == 0 && ::fchmod(fd, 0640) == 0;
  ::close(fd);
  if (!given) Fail(file);
}

}  // namespace telvano::setup
