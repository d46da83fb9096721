#include "platform/single_instance_lock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace telvano::platform {

std::string DefaultInstanceLockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = runtime && *runtime ? runtime : "/tmp";
  return folder + "/TELVANO_Started.lock";
}

std::string InstallationLockPath(const std::string& applDataDir) {
  return applDataDir + "/TELVANO_Started.lock";
}

SingleInstanceLock::SingleInstanceLock(std::string path) : m_path(std::move(path)) {}

SingleInstanceLock::~SingleInstanceLock() { Release(); }

bool SingleInstanceLock::TryAcquire() {
  if (m_fd >= 0) return true;
  // Read-only is enough for flock, so a lock file that another user of the installation's group created
  // can still be locked; O_NOFOLLOW keeps a planted link from pointing us at some other file.
  int fd = open(m_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0660);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), "cannot open the lock file " + m_path);
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(fd);
    throw std::system_error(EINVAL, std::generic_category(), "the lock file is not a regular file: " + m_path);
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    close(fd);
    if (error == EWOULDBLOCK) return false;
    throw std::system_error(error, std::generic_category(), "cannot lock " + m_path);
  }
  m_fd = fd;
  return true;
}

void SingleInstanceLock::Release() {
  if (m_fd < 0) return;
  // The file stays: removing it would let a third process lock a new file while a second still waits on
  // the old one.
  flock(m_fd, LOCK_UN);
  close(m_fd);
  m_fd = -1;
}

}  // namespace telvano::platform
