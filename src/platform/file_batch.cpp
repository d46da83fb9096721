#include "platform/file_batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/whole_file.h"

namespace telvano::platform {

FileBatch::FileBatch(std::string folder) : m_folder(std::move(folder)) {}

FileBatch::~FileBatch() {
  for (const auto& staged : m_staged) ::unlink(staged.second.c_str());
}

void FileBatch::Stage(const std::string& name, std::string_view bytes, unsigned mode) {
  m_staged.emplace_back(name, WriteTemporaryBeside(PathOf(name), bytes, mode, false));
}

void FileBatch::SyncData() {
  const int fd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw WriteError(m_folder, errno);
  // One sync of the file system writes the data of every staged file (and their metadata) together; a
  // write-back error of any of them is reported here.
  const int synced = ::syncfs(fd);
  const int error = errno;
  ::close(fd);
  if (synced != 0) throw WriteError(m_folder, error);
}

void FileBatch::Publish(const std::string& name) {
  for (auto it = m_staged.begin(); it != m_staged.end(); ++it) {
    if (it->first != name) continue;
    if (std::rename(it->second.c_str(), PathOf(name).c_str()) != 0) throw WriteError(PathOf(name), errno);
    m_staged.erase(it);
    return;
  }
}

void FileBatch::SyncFolder() { platform::SyncFolder(m_folder); }

}  // namespace telvano::platform
