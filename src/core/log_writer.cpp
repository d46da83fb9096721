#include "core/log_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "core/code_page_text.h"
#include "core/text_utils.h"
#include "core/time_text.h"

namespace telvano::core {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : m_fd(fd) {}
  ~FileDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int Get() const { return m_fd; }
  int Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

// True when the file's last byte is not a line feed, so the next line must start on a fresh line.
bool EndsInsideLine(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_size == 0) return false;
  char last = '\n';
  return ::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n';
}

void WriteAll(int fd, const std::string& bytes, const std::string& path) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t rc = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) throw LogWriteError("cannot write the log file " + path + ": " + std::strerror(errno));
    written += static_cast<std::size_t>(rc);
  }
}

}  // namespace

LogWriter::LogWriter(const Configuration& configuration, const platform::Clock& clock, LogEcho echo)
    : m_configuration(configuration), m_clock(clock), m_echo(echo) {}

void LogWriter::Echo(const std::string& text, platform::Priority priority) const {
  // The journal has its own time stamps; the line goes in UTF-8, as the journal keeps text.
  if (m_echo == LogEcho::Journal) {
    std::cerr << platform::JournalLine(priority, FirstLine(text)) << "\n" << std::flush;
  } else {
    std::cerr << "TELVANO: " << FirstLine(text) << "\n" << std::flush;
  }
}

std::string LogWriter::LogLine(const std::string& text) const {
  return DateTimeText(m_clock.LocalNow()) + " " + FirstLine(text);
}

void LogWriter::AppendLogLine(const std::string& fileName, const std::string& text,
                              platform::Priority priority) const {
  if (m_echo != LogEcho::None) Echo(text, priority);  // first: it is seen even when the file is not written
  const std::string path = m_configuration.LogsDir + "/" + fileName;
  // Appending (never load-and-rewrite) keeps every earlier line even when the file cannot be read, and
  // costs the same for the millionth line as for the first.
  // Read access only serves to see whether the last line was ended; a write-only file is fine too.
  // The folder may be writable by others: a link planted under the log's name is never followed, and a
  // FIFO or device there neither blocks nor receives the line.
  constexpr int kFlags = O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
  int fd = ::open(path.c_str(), O_RDWR | kFlags, 0644);
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags, 0644);
  FileDescriptor file(fd);
  if (file.Get() < 0) throw LogWriteError("cannot open the log file " + path + ": " + std::strerror(errno));
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw LogWriteError("the log file " + path + " is not a regular file");
  }
  std::string bytes;
  if (EndsInsideLine(file.Get())) bytes = "\r\n";
  bytes += EncodeInCodePage(LogLine(text), m_configuration.CodePage) + "\r\n";
  WriteAll(file.Get(), bytes, path);
  if (::close(file.Release()) != 0) {
    throw LogWriteError("cannot write the log file " + path + ": " + std::strerror(errno));
  }
}

}  // namespace telvano::core
