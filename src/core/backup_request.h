#pragma once

#include <optional>
#include <string>

namespace telvano::core {

// A backup asked of the running program. The embedded engine opens the database file for one process
// only, so while TELVANO runs nobody else can copy it: telvano-setup --backup leaves a request in ApplData
// (the installation owner's folder), the program takes the backup between two files of its poller and
// answers beside it. Each request carries a token of its asker, and the answer repeats it.
inline constexpr const char* kBackupRequestFileName = "backup_request.txt";
inline constexpr const char* kBackupAnswerFileName = "backup_answer.txt";

struct BackupAnswer {
  std::string token;
  bool saved = false;
  std::string text;  // the backup file, or why there is none
};

// A fresh token: 32 random hex digits.
std::string NewBackupToken();

void WriteBackupRequest(const std::string& applDataDir, const std::string& token);
// The token of a waiting request, which is removed; nothing when there is none. A request that is not one
// (no token, too long, not a plain file) is removed and answered with nothing.
std::optional<std::string> TakeBackupRequest(const std::string& applDataDir);
// Whether a request still waits (the asker gives up on it when the program has gone).
bool BackupRequestWaits(const std::string& applDataDir);
void RemoveBackupRequest(const std::string& applDataDir);

void WriteBackupAnswer(const std::string& applDataDir, const BackupAnswer& answer);
// The answer to `token`; nothing while there is none (or only one to another request).
std::optional<BackupAnswer> ReadBackupAnswer(const std::string& applDataDir, const std::string& token);

}  // namespace telvano::core
