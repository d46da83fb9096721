#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace telvano::platform {

// Files that appear in one folder together and must survive a crash together, for one flush of the disk
// instead of one for each: every file is written to a temporary name first (Stage), the data of all of
// them reaches the disk at once (SyncData, one sync of the folder's file system), each is then renamed
// into place in the caller's order (Publish), and the renames reach the disk with one flush of the folder
// (SyncFolder). A reader never sees half a file under its final name, and after SyncData a crash leaves
// each published file whole or absent. Temporary files not published are removed when the batch ends.
// Every failure raises FileError naming the file.
class FileBatch {
 public:
  explicit FileBatch(std::string folder);
  ~FileBatch();
  FileBatch(const FileBatch&) = delete;
  FileBatch& operator=(const FileBatch&) = delete;

  void Stage(const std::string& name, std::string_view bytes, unsigned mode = 0644);
  void SyncData();
  // Renames the staged `name` into place (a name not staged is ignored).
  void Publish(const std::string& name);
  void SyncFolder();

 private:
  std::string PathOf(const std::string& name) const { return m_folder + "/" + name; }

  std::string m_folder;
  std::vector<std::pair<std::string, std::string>> m_staged;  // final name, temporary path
};

}  // namespace telvano::platform
