#include "api/api_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace telvano::api {

ApiFolders ApiFolders::Under(const std::string& applDataDir) {
  const std::string root = applDataDir + "/Api";
  return {root, root + "/Inp", root + "/Out", root + "/Archive", root + "/Answers"};
}

void ApiFolders::Create() const {
  for (const std::string* folder : {&root, &input, &output, &archive, &answers}) {
    if (::mkdir(folder->c_str(), 0700) != 0 && errno != EEXIST) {
      throw std::system_error(errno, std::generic_category(), "cannot create " + *folder);
    }
    struct stat info {};
    if (::lstat(folder->c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
      throw std::system_error(ENOTDIR, std::generic_category(), *folder + " is not a folder");
    }
    // A folder made by an older run or by hand is closed to others as well.
    if ((info.st_mode & 077) != 0 && ::chmod(folder->c_str(), 0700) != 0) {
      throw std::system_error(errno, std::generic_category(), "cannot close " + *folder + " to others");
    }
  }
}

core::Configuration ApiFolders::RoadConfiguration(const core::Configuration& base) const {
  core::Configuration configuration = base;
  configuration.InputDir = input;
  configuration.OutputDir = output;
  configuration.ArchiveDir = archive;
  return configuration;
}

}  // namespace telvano::api
