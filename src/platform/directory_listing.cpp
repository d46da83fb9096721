#include "platform/directory_listing.h"

#include "platform/text_case.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <system_error>
#include <unicode/unistr.h>

namespace telvano::platform {

namespace {

std::u32string UpperCodePoints(std::string_view utf8) {
  std::string upper = ToUpperUnicode(utf8);
  icu::UnicodeString text = icu::UnicodeString::fromUTF8(upper);
  std::u32string result;
  for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) result.push_back(text.char32At(i));
  return result;
}

// Classic wildcard matching with one backtrack point: linear for the patterns a POS folder needs.
bool Match(const std::u32string& name, const std::u32string& pattern) {
  std::size_t n = 0, p = 0, starP = std::u32string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++n, ++p;
    } else if (p < pattern.size() && pattern[p] == U'*') {
      starP = p++, starN = n;
    } else if (starP != std::u32string::npos) {
      p = starP + 1, n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesPattern(std::string_view name, std::string_view pattern) {
  return Match(UpperCodePoints(name), UpperCodePoints(pattern));
}

std::vector<DirectoryEntry> ListDirectory(const std::string& folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) throw std::system_error(errno, std::generic_category(), "cannot read the folder " + folder);
  std::vector<DirectoryEntry> entries;
  int fd = dirfd(dir.get());
  while (dirent* item = readdir(dir.get())) {
    std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    DirectoryEntry entry;
    entry.name = name;
    entry.hidden = name.front() == '.';
    struct stat info {};
    // lstat: a link is not followed out of the folder; it counts as a system entry.
    if (fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
    entry.directory = S_ISDIR(info.st_mode);
    entry.system = !S_ISREG(info.st_mode) && !entry.directory;
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::vector<std::string> ListFiles(const std::string& folder, std::string_view pattern) {
  std::vector<std::string> names;
  std::u32string wanted = UpperCodePoints(pattern);
  for (const DirectoryEntry& entry : ListDirectory(folder))
    if (!entry.directory && !entry.hidden && !entry.system && Match(UpperCodePoints(entry.name), wanted))
      names.push_back(entry.name);
  return names;
}

}  // namespace telvano::platform
