#include "database_server.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <stdexcept>

#include "db/connection_string.h"
#include "db/database.h"
#include "maintenance/tform_exec_script.h"

namespace telvano::setup {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPasswordKey = "ISC_PASSWORD=";

std::string Trimmed(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

[[noreturn]] void CannotGive(const fs::path& path) {
  throw std::runtime_error("cannot give " + path.string() + " to " + kServerUser + ": " + std::strerror(errno));
}

// Opened once without following a link (a folder above may be writable by the installation's group) and
// changed through that descriptor: `mode` replaces the permission bits, or with `addMode` is added to them.
void GiveThroughDescriptor(const fs::path& path, bool folder, uid_t user, gid_t group, mode_t mode, bool addMode) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
  if (fd < 0) CannotGive(path);
  struct stat info {};
  const bool right = ::fstat(fd, &info) == 0 && (folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode)) &&
                     (folder || info.st_nlink == 1);
  const bool given = right && ::fchown(fd, user, group) == 0 &&
                     ::fchmod(fd, addMode ? ((info.st_mode & 07777) | mode) : mode) == 0;
  ::close(fd);
  if (!right) {
    errno = EINVAL;
    CannotGive(path);
  }
  if (!given) CannotGive(path);
}

// The folder keeps its group and the rest of its mode, so the installation's owner still works in it.
void GiveFolderToServer(const fs::path& folder, uid_t user) {
  GiveThroughDescriptor(folder, true, user, static_cast<gid_t>(-1), 0700, true);
}

}  // namespace

std::string ReadSysdbaPassword(const std::string& file) {
  std::ifstream in(file);
  if (!in)
    throw std::runtime_error("cannot read " + file + " (root only): give the password with --db-password");
  for (std::string line; std::getline(in, line);) {
    const std::string text = Trimmed(line);
    if (text.rfind(kPasswordKey, 0) != 0) continue;
    std::string value = text.substr(kPasswordKey.size());
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    if (!value.empty()) return value;
  }
  throw std::runtime_error(file + " holds no ISC_PASSWORD: give the password with --db-password");
}

bool IsServerDatabaseName(const std::string& dbFullname) {
  return db::ReadConnectionString(dbFullname).ThroughServer();
}

std::string ServerDatabaseName(const std::string& host, const std::string& databaseFile) {
  // An IPv6 address goes into brackets, or its colons would end the host part: "::1/3051" gives
  // "[::1]/3051:/path".
  const std::size_t slash = host.rfind('/');
  const std::string address = host.substr(0, slash);
  const std::string port = slash == std::string::npos ? "" : host.substr(slash);
  if (address.find(':') != std::string::npos && address.front() != '[') {  // holds a ':', so not empty
    return "[" + address + "]" + port + ":" + databaseFile;
  }
  return host + ":" + databaseFile;
}

bool NamesDatabaseServer(const std::string& host) {
  const std::string file = "/TELVANO.FDB";
  const db::ConnectionString read = db::ReadConnectionString(ServerDatabaseName(host, file));
  return read.ThroughServer() && read.path == file;
}

void GiveDatabaseToServer(const std::string& databaseFile, std::ostream& out) {
  const passwd* account = ::getpwnam(kServerUser);
  if (account == nullptr)
    throw std::runtime_error(std::string("there is no user ") + kServerUser +
                             ": is firebird3.0-server installed?");
  const fs::path file = fs::absolute(databaseFile).lexically_normal();
  GiveThroughDescriptor(file, false, account->pw_uid, account->pw_gid, 0660, false);
  const fs::path folder = file.parent_path();
  GiveFolderToServer(folder, account->pw_uid);
  out << "  gave             " << file.string() << " and its folder to the server's user " << kServerUser
      << "\n";
  // The server itself writes the copies of a backup there.
  const fs::path backups = folder / maintenance::kBackupFolderName;
  if (fs::is_directory(backups)) {
    GiveFolderToServer(backups, account->pw_uid);
    out << "  gave             " << backups.string() << " to " << kServerUser << " for the backups\n";
  }
  for (fs::path above = folder.parent_path(); !above.empty(); above = above.parent_path()) {
    if ((fs::status(above).permissions() & fs::perms::others_exec) == fs::perms::none) {
      fs::permissions(above, fs::perms::others_exec, fs::perm_options::add);
      out << "  opened           " << above.string() << " for the server's user to pass (o+x)\n";
    }
    if (above == above.root_path()) break;
  }
}

std::string ServerLoginProblem(const std::string& databaseName, const std::string& password) {
  try {
    db::Database::Options options = db::Database::Options::For(databaseName);
    options.password = password;
    db::Database::Attach(options)->Close();
    return {};
  } catch (const std::exception& error) {
    return error.what();
  }
}

}  // namespace telvano::setup
