#include "core/backup_request.h"

#include <sys/stat.h>

#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

#include "core/text_utils.h"
#include "platform/whole_file.h"

namespace telvano::core {

namespace {

constexpr std::size_t kMaxFileBytes = 16u * 1024u;
constexpr std::size_t kTokenLength = 32;

std::string RequestPath(const std::string& dir) { return dir + "/" + kBackupRequestFileName; }
std::string AnswerPath(const std::string& dir) { return dir + "/" + kBackupAnswerFileName; }

bool IsToken(const std::string& text) {
  return text.size() == kTokenLength && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// The lines of a small file, without their ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string NewBackupToken() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device random;
  std::string token;
  while (token.size() < kTokenLength) token += kHex[random() & 0x0F];
  return token;
}

void WriteBackupRequest(const std::string& applDataDir, const std::string& token) {
  platform::WriteFileDurably(RequestPath(applDataDir), token + "\n", 0600);
}

std::optional<std::string> TakeBackupRequest(const std::string& applDataDir) {
  const std::string path = RequestPath(applDataDir);
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;  // the common case: nothing asked
  std::string text;
  try {
    text = platform::ReadRegularFile(path, kMaxFileBytes);
  } catch (const std::exception&) {
    text.clear();
  }
  RemoveBackupRequest(applDataDir);
  const std::vector<std::string> lines = Lines(text);
  if (lines.empty() || !IsToken(lines[0])) return std::nullopt;
  return lines[0];
}

bool BackupRequestWaits(const std::string& applDataDir) {
  struct stat info {};
  return ::lstat(RequestPath(applDataDir).c_str(), &info) == 0;
}

void RemoveBackupRequest(const std::string& applDataDir) {
  std::error_code ignored;
  std::filesystem::remove(RequestPath(applDataDir), ignored);
}

void WriteBackupAnswer(const std::string& applDataDir, const BackupAnswer& answer) {
  platform::WriteFileDurably(AnswerPath(applDataDir),
                             answer.token + "\n" + (answer.saved ? "OK" : "ERR") + "\n" + OneLine(answer.text) + "\n",
                             0600);
}

std::optional<BackupAnswer> ReadBackupAnswer(const std::string& applDataDir, const std::string& token) {
  std::string text;
  try {
    text = platform::ReadRegularFile(AnswerPath(applDataDir), kMaxFileBytes);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  const std::vector<std::string> lines = Lines(text);
  if (lines.size() < 3 || lines[0] != token || (lines[1] != "OK" && lines[1] != "ERR")) return std::nullopt;
  return BackupAnswer{lines[0], lines[1] == "OK", lines[2]};
}

}  // namespace telvano::core
