#include "port_writer.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "escpos_reader.h"
#include "receipt_picture.h"

namespace telvano::rawprint {

namespace {

// How long a network printer may take to close its side after the job.
constexpr std::chrono::milliseconds kDrainLimit{2000};

std::string ErrnoText(int error) { return std::strerror(error); }

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
  ~FileDescriptor() { Reset(); }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return m_fd; }
  int Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (m_fd >= 0) close(m_fd);
    m_fd = fd;
  }

 private:
  int m_fd;
};

// Writes everything to a non-blocking descriptor, waiting at most `timeout` for each chunk to be taken.
void WriteAll(int fd, std::string_view bytes, std::chrono::milliseconds timeout, bool socket) {
  while (!bytes.empty()) {
    const ssize_t written = socket ? send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                                   : write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) throw SendFailed("write: " + ErrnoText(errno));
    pollfd waiting{fd, POLLOUT, 0};
    const int ready = poll(&waiting, 1, static_cast<int>(timeout.count()));
    if (ready == 0) throw SendFailed("the printer took no data for " + std::to_string(timeout.count()) + " ms");
    if (ready < 0 && errno != EINTR) throw SendFailed("poll: " + ErrnoText(errno));
  }
}

class DescriptorWriter : public PortWriter {
 public:
  DescriptorWriter(int fd, std::chrono::milliseconds timeout, bool socket)
      : m_fd(fd), m_timeout(timeout), m_socket(socket) {}
  void Write(std::string_view bytes) override { WriteAll(m_fd.Get(), bytes, m_timeout, m_socket); }
  void Finish() override {
    if (!m_socket) {
      // A serial line or printer device: let the bytes leave before the descriptor closes.
      if (isatty(m_fd.Get())) tcdrain(m_fd.Get());
      return;
    }
    // Say we are done and read what the printer still sends (status bytes) until it closes: closing
    // with unread data would reset the connection and could drop the end of the receipt.
    shutdown(m_fd.Get(), SHUT_WR);
    char ignored[256];
    const auto deadline = std::chrono::steady_clock::now() + kDrainLimit;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd waiting{m_fd.Get(), POLLIN, 0};
      if (poll(&waiting, 1, static_cast<int>(kDrainLimit.count())) <= 0) break;
      const ssize_t count = read(m_fd.Get(), ignored, sizeof ignored);
      if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
  }

 private:
  FileDescriptor m_fd;
  std::chrono::milliseconds m_timeout;
  bool m_socket;
};

speed_t SpeedConstant(int speed) {
  switch (speed) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B9600;
  }
}

// Raw 8N1 at the given speed (9600 when none was given) with the chosen flow control.
void ConfigureSerial(int fd, const PortSpec& portSpec) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) throw PortUnavailable("tcgetattr " + portSpec.devicePath + ": " + ErrnoText(errno));
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  settings.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (portSpec.flow == FlowControl::RtsCts) settings.c_cflag |= CRTSCTS;
  if (portSpec.flow == FlowControl::XonXoff) settings.c_iflag |= IXON | IXOFF;
  const speed_t speed = SpeedConstant(portSpec.speed);
  cfsetispeed(&settings, speed);
  cfsetospeed(&settings, speed);
  if (tcsetattr(fd, TCSANOW, &settings) != 0)
    throw PortUnavailable("tcsetattr " + portSpec.devicePath + ": " + ErrnoText(errno));
}

std::unique_ptr<PortWriter> OpenDevice(const PortSpec& portSpec, const PortSettings& settings) {
  // The resolved path must still lie below /dev and be a character device: no port text may turn the
  // sender into a way of writing some file.
  char resolved[PATH_MAX];
  if (!realpath(portSpec.devicePath.c_str(), resolved)) {
    if (errno == ENOENT) throw PortRefused("no such device: " + portSpec.devicePath);
    throw PortUnavailable(portSpec.devicePath + ": " + ErrnoText(errno));
  }
  const std::string path = resolved;
  if (path.rfind("/dev/", 0) != 0) throw PortRefused(portSpec.devicePath + " does not lie below /dev");
  struct stat info{};
  if (stat(path.c_str(), &info) != 0) throw PortUnavailable(path + ": " + ErrnoText(errno));
  if (!S_ISCHR(info.st_mode)) throw PortRefused(portSpec.devicePath + " is not a character device");

  FileDescriptor fd(open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
  if (fd.Get() < 0) throw PortUnavailable("open " + portSpec.devicePath + ": " + ErrnoText(errno));
  if (isatty(fd.Get())) ConfigureSerial(fd.Get(), portSpec);
  else if (portSpec.serialOptions) throw PortRefused(portSpec.devicePath + " is no serial line: speed and flow control do not apply");
  return std::make_unique<DescriptorWriter>(fd.Release(), settings.writeTimeout, false);
}

std::unique_ptr<PortWriter> OpenTcp(const PortSpec& portSpec, const PortSettings& settings) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(portSpec.host.c_str(), portSpec.service.c_str(), &hints, &found);
  if (rc != 0) throw PortUnavailable(portSpec.host + ": " + gai_strerror(rc));
  std::string lastError = "no address";
  for (addrinfo* address = found; address; address = address->ai_next) {
    FileDescriptor fd(socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                             address->ai_protocol));
    if (fd.Get() < 0) {
      lastError = ErrnoText(errno);
      continue;
    }
    if (connect(fd.Get(), address->ai_addr, address->ai_addrlen) != 0) {
      if (errno != EINPROGRESS) {
        lastError = ErrnoText(errno);
        continue;
      }
      pollfd waiting{fd.Get(), POLLOUT, 0};
      const int ready = poll(&waiting, 1, static_cast<int>(settings.connectTimeout.count()));
      int error = 0;
      socklen_t length = sizeof error;
      if (ready == 0) {
        lastError = "no connection within " + std::to_string(settings.connectTimeout.count()) + " ms";
        continue;
      }
      if (ready < 0 || getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        lastError = ErrnoText(error != 0 ? error : errno);
        continue;
      }
    }
    freeaddrinfo(found);
    return std::make_unique<DescriptorWriter>(fd.Release(), settings.writeTimeout, true);
  }
  freeaddrinfo(found);
  throw PortUnavailable("connect " + portSpec.host + ":" + portSpec.service + ": " + lastError);
}

// Writes into a hidden temporary file of the folder and gives it its name when the job is complete.
class FilePortWriter : public PortWriter {
 public:
  FilePortWriter(int folder, std::string temporary, std::string name)
      : m_folder(folder), m_temporary(std::move(temporary)), m_name(std::move(name)) {
    m_file.Reset(openat(m_folder.Get(), m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (m_file.Get() < 0) throw PortUnavailable("create " + m_name + ": " + ErrnoText(errno));
  }
  ~FilePortWriter() override {
    if (!m_finished) unlinkat(m_folder.Get(), m_temporary.c_str(), 0);
  }
  void Write(std::string_view bytes) override { WriteAll(m_file.Get(), bytes, std::chrono::milliseconds(0), false); }
  void Finish() override {
    if (fsync(m_file.Get()) != 0) throw SendFailed("fsync " + m_name + ": " + ErrnoText(errno));
    m_file.Reset();
    // rename replaces a symbolic link of that name instead of following it.
    if (renameat(m_folder.Get(), m_temporary.c_str(), m_folder.Get(), m_name.c_str()) != 0)
      throw SendFailed("rename to " + m_name + ": " + ErrnoText(errno));
    m_finished = true;
  }

 private:
  FileDescriptor m_folder;
  FileDescriptor m_file;
  std::string m_temporary;
  std::string m_name;
  bool m_finished = false;
};

std::unique_ptr<PortWriter> OpenFile(const PortSpec& portSpec, const PortSettings& settings) {
  if (settings.fileDir.empty())
    throw PortRefused("file and picture ports are not allowed: no print-file folder is configured");
  FileDescriptor folder(open(settings.fileDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() < 0) throw PortUnavailable("print-file folder " + settings.fileDir + ": " + ErrnoText(errno));
  struct stat existing{};
  if (fstatat(folder.Get(), portSpec.fileName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(existing.st_mode))
    throw PortRefused(portSpec.fileName + " is a folder");
  const std::string temporary = "." + portSpec.fileName.substr(0, 200) + "." + std::to_string(getpid()) + ".part";
  return std::make_unique<FilePortWriter>(folder.Release(), temporary, portSpec.fileName);
}

// Keeps the bytes and, when the job is complete, writes the picture of the receipt they print into the file.
class PicturePortWriter : public PortWriter {
 public:
  PicturePortWriter(std::unique_ptr<PortWriter> file, std::string model)
      : m_file(std::move(file)), m_model(std::move(model)) {}
  void Write(std::string_view bytes) override { m_bytes.append(bytes); }
  void Finish() override {
    std::string picture;
    try {
      picture = ReceiptPng(ReadEscPos(m_bytes, m_model));
    } catch (const std::exception& error) {
      throw SendFailed(std::string("no receipt picture: ") + error.what());
    }
    m_file->Write(picture);
    m_file->Finish();
  }

 private:
  std::unique_ptr<PortWriter> m_file;
  std::string m_model;
  std::string m_bytes;
};

}  // namespace

std::unique_ptr<PortWriter> OpenPort(const PortSpec& portSpec, const PortSettings& settings) {
  switch (portSpec.kind) {
    case PortSpec::Kind::Device: return OpenDevice(portSpec, settings);
    case PortSpec::Kind::Tcp: return OpenTcp(portSpec, settings);
    case PortSpec::Kind::File: return OpenFile(portSpec, settings);
    case PortSpec::Kind::Png: return std::make_unique<PicturePortWriter>(OpenFile(portSpec, settings), settings.printerModel);
  }
  throw PortRefused("unknown port kind");
}

}  // namespace telvano::rawprint
