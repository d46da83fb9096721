#include "platform/file_probe.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace telvano::platform {

bool IsStillBeingWritten(const std::string& path) {
  // O_NONBLOCK: never wait for someone else's lease to be broken.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return errno == EWOULDBLOCK;  // a write lease of the writer itself: still its file
  bool busy = false;
  if (fcntl(fd, F_SETLEASE, F_RDLCK) == 0)
    fcntl(fd, F_SETLEASE, F_UNLCK);
  else
    busy = errno == EAGAIN || errno == EBUSY;
  close(fd);
  return busy;
}

}  // namespace telvano::platform
