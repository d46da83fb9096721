#include "system_install.h"

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

void ChangeOwner(const fs::path& path, const OwnerIds& ids) {
  if (::lchown(path.c_str(), ids.user, ids.group) != 0) {
    throw std::system_error(errno, std::generic_category(), "cannot give " + path.string() + " to its owner");
  }
}

void GiveOne(const fs::path& path, const OwnerIds& ids) {
  const fs::file_status status = fs::symlink_status(path);
  ChangeOwner(path, ids);
  if (fs::is_symlink(status)) return;
  if (fs::is_directory(status)) {
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_all | fs::perms::set_gid);
  } else {
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::group_write, fs::perm_options::add);
    fs::permissions(path, fs::perms::others_all, fs::perm_options::remove);
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

void GiveToOwner(const std::string& folder, const std::string& owner) {
  const OwnerIds ids = ResolveOwner(owner);
  GiveOne(folder, ids);
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) GiveOne(entry.path(), ids);
}

void ShareWithOwnerGroup(const std::string& file, const std::string& owner) {
  const OwnerIds ids = ResolveOwner(owner);
  ChangeOwner(file, {::geteuid(), ids.group});
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace telvano::setup
