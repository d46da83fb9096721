#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace telvano::platform {

namespace {

// Closes the descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return m_fd; }
  // Closes now, so that a failing close (a late write error on some file systems) is seen.
  bool Close() {
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0;
  }

 private:
  int m_fd;
};

std::string Reason(int error) { return std::strerror(error); }

std::string ReadFailure(const std::string& path, int error) {
  return "Ne mogu da pročitam fajl / Cannot read file: " + path + " (" + Reason(error) + ")";
}

std::string WriteFailure(const std::string& path, int error) {
  return "Ne mogu da upišem fajl / Cannot write file: " + path + " (" + Reason(error) + ")";
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

std::string ReadOpenFile(const Descriptor& fd, const struct stat& info, const std::string& path,
                         std::size_t maxBytes) {
  if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    throw FileTooLargeError("Fajl je prevelik / File too large: " + path + " (" + std::to_string(info.st_size) +
                            " bytes)");
  }
  std::string bytes;
  if (S_ISREG(info.st_mode)) bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError(ReadFailure(path, errno));
    }
    if (got == 0) break;
    // A file that grows while it is read is held to the same limit.
    if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) {
      throw FileTooLargeError("Fajl je prevelik / File too large: " + path);
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  return bytes;
}

// ".<name>.<8 random hex digits>.tmp" beside the target: nobody can guess it to plant something there first.
std::string TemporaryNameFor(const std::filesystem::path& target) {
  unsigned char random[4] = {};
  if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    std::memcpy(random, &now, sizeof random);
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string tag;
  for (const unsigned char byte : random) {
    tag += kHex[byte >> 4];
    tag += kHex[byte & 0x0F];
  }
  return (target.parent_path() / ("." + target.filename().string() + "." + tag + ".tmp")).string();
}

}  // namespace

std::string ReadWholeFile(const std::string& path, std::size_t maxBytes) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (fd.Get() < 0) throw FileError(ReadFailure(path, errno));
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) throw FileError(ReadFailure(path, errno));
  return ReadOpenFile(fd, info, path, maxBytes);
}

std::string ReadRegularFile(const std::string& path, std::size_t maxBytes) {
  // Opened once: a link is not followed, a FIFO or device does not block, and what is checked is what is read.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK));
  if (fd.Get() < 0) {
    if (errno == ELOOP) throw NotRegularFileError(path);
    throw FileError(ReadFailure(path, errno));
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) throw FileError(ReadFailure(path, errno));
  if (!S_ISREG(info.st_mode)) throw NotRegularFileError(path);
  return ReadOpenFile(fd, info, path, maxBytes);
}

std::string WriteTemporaryBeside(const std::string& path, std::string_view bytes, unsigned mode, bool flush) {
  const std::filesystem::path target(path);
  // A fresh file of our own (O_EXCL, never through a link), created with its final mode before the first
  // byte. A name too long for the file system fails here already (the temporary name is longer still), and
  // so does a folder that is missing, read-only or full.
  std::string temporary;
  int created = -1;
  for (int attempt = 0; attempt < 8 && created < 0; ++attempt) {
    temporary = TemporaryNameFor(target);
    created = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                     static_cast<mode_t>(mode & 0777));
    if (created < 0 && errno != EEXIST) break;
  }
  Descriptor fd(created);
  if (fd.Get() < 0) throw WriteError(path, errno);
  const auto fail = [&temporary, &path](int error) {
    ::unlink(temporary.c_str());
    throw WriteError(path, error);
  };
  if (!WriteAll(fd.Get(), bytes)) fail(errno);
  if (flush && ::fsync(fd.Get()) != 0) fail(errno);
  if (!fd.Close()) fail(errno);
  return temporary;
}

FileError WriteError(const std::string& path, int error) { return FileError(WriteFailure(path, error)); }

namespace {

// The whole of `bytes` under `path`, through a fresh temporary name renamed into place; flushed to the disk
// (the file, then its folder) when `flush`.
void ReplaceFile(const std::string& path, std::string_view bytes, unsigned mode, bool flush) {
  const std::string temporary = WriteTemporaryBeside(path, bytes, mode, flush);
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw WriteError(path, error);
  }
  if (flush) SyncFolder(FolderOf(path));
}

}  // namespace

void WriteFileDurably(const std::string& path, std::string_view bytes, unsigned mode) {
  ReplaceFile(path, bytes, mode, true);
}

void WriteFileWhole(const std::string& path, std::string_view bytes, unsigned mode) {
  ReplaceFile(path, bytes, mode, false);
}

bool MoveAside(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  std::error_code error;
  if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(from, error))) return false;
  if (!std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error)) return false;
  std::filesystem::remove(from, error);
  return true;
}

void SyncFolder(const std::string& folder) {
  Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() < 0) throw FileError(WriteFailure(folder, errno));
  // Some file systems do not sync folders (EINVAL); the rename is then as durable as they make it.
  if (::fsync(fd.Get()) != 0 && errno != EINVAL) throw FileError(WriteFailure(folder, errno));
}

std::size_t MaxFileNameLength(const std::string& folder) {
  errno = 0;
  const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

}  // namespace telvano::platform
