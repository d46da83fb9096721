#include "unattended_backup.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>
#include <system_error>

#include "core/backup_request.h"
#include "core/headless_yellow_msg_view.h"
#include "core/log_writer.h"
#include "core/text_utils.h"
#include "core/tform_yellow_msg.h"
#include "database_server.h"
#include "installation.h"
#include "maintenance/tform_exec_script.h"
#include "platform/directory_listing.h"
#include "platform/file_probe.h"
#include "platform/single_instance_lock.h"
#include "sdc/tform_http.h"

namespace telvano::setup {

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kDatedSuffixLength = std::char_traits<char>::length("_yyyy-mm-dd.mlf");
constexpr std::chrono::milliseconds kLookEvery{200};

bool IsDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The backup module of the program, without a screen; its log lines go to the installation's log.
class BackupSession {
 public:
  BackupSession(const core::Configuration& configuration, platform::Clock& clock, std::ostream& err)
      : m_log(configuration, clock),
        m_view(err),
        m_messages(configuration, m_state, clock, m_log, m_view),
        m_execScript(configuration, m_state, m_noConnection, m_messages, clock,
                     [this](const std::string& text, platform::Priority priority) {
                       try {
                         m_log.AppendLogLine(core::kLogFileName, text, priority);
                       } catch (const std::exception&) {
                         // the outcome is reported on the terminal all the same
                       }
                     },
                     platform::IsStillBeingWritten) {}

  maintenance::TFormExecScript& ExecScript() { return m_execScript; }

 private:
  core::WorkingState m_state;
  std::unique_ptr<db::Database> m_noConnection;  // the backup opens the database through its own services
  core::LogWriter m_log;
  core::HeadlessYellowMsgView m_view;
  core::TFormYellowMsg m_messages;
  maintenance::TFormExecScript m_execScript;
};

// The running program's answer; nothing when it ended without one. It takes the request at its next tick,
// which may be one that waits for the processor (the longest tick the configuration allows).
std::optional<core::BackupAnswer> AskRunningProgram(const core::Configuration& configuration,
                                                    platform::Clock& clock, std::ostream& out) {
  const std::string folder = configuration.ApplDataDir;
  const std::string lock = platform::InstallationLockPath(folder);
  const std::string token = core::NewBackupToken();
  core::WriteBackupRequest(folder, token);
  out << "telvano-setup: TELVANO runs on this installation; it takes the backup between two files\n";
  const auto takeBy = clock.Now() + sdc::LongestTick(sdc::TimeoutsFrom(configuration)) + 60s;
  for (;;) {
    if (auto answer = core::ReadBackupAnswer(folder, token)) return answer;
    const bool waiting = core::BackupRequestWaits(folder);
    if (!ProgramIsRunning(lock) || (waiting && clock.Now() > takeBy)) {
      if (waiting) core::RemoveBackupRequest(folder);
      return core::ReadBackupAnswer(folder, token);  // it may have answered just before it ended
    }
    clock.Sleep(kLookEvery);
  }
}

void RemoveOldBackups(const fs::path& todaysBackup, int keep, std::ostream& out, std::ostream& err) {
  const std::vector<fs::path> backups = DailyBackups(todaysBackup);
  for (std::size_t i = static_cast<std::size_t>(keep); i < backups.size(); ++i) {
    std::error_code error;
    if (fs::remove(backups[i], error)) {
      out << "  removed          " << backups[i].string() << "\n";
    } else if (error) {
      err << "telvano-setup: cannot remove " << backups[i].string() << ": " << error.message() << "\n";
    }
  }
}

}  // namespace

std::vector<fs::path> DailyBackups(const fs::path& todaysBackup) {
  const std::string name = todaysBackup.filename().string();
  std::vector<fs::path> backups;
  if (name.size() < kDatedSuffixLength) return backups;
  const std::string stem = name.substr(0, name.size() - kDatedSuffixLength);
  std::vector<std::string> names;
  try {
    names = platform::ListFiles(todaysBackup.parent_path().string(), "*.mlf");
  } catch (const std::exception&) {
    return backups;
  }
  for (const std::string& candidate : names) {
    if (candidate.size() != name.size() || candidate.compare(0, stem.size(), stem) != 0) continue;
    const std::string date = candidate.substr(stem.size(), kDatedSuffixLength - 4);  // "_yyyy-mm-dd"
    if (date[0] != '_' || date[5] != '-' || date[8] != '-' || !IsDigits(date.substr(1, 4)) ||
        !IsDigits(date.substr(6, 2)) || !IsDigits(date.substr(9, 2))) {
      continue;
    }
    backups.push_back(todaysBackup.parent_path() / candidate);
  }
  // Same stem and length: the names sort as their dates do.
  std::sort(backups.begin(), backups.end(), [](const fs::path& a, const fs::path& b) { return a > b; });
  return backups;
}

int RunBackup(const std::string& configFile, int keep, platform::Clock& clock, std::ostream& out,
              std::ostream& err) {
  core::Configuration configuration;
  try {
    configuration = core::LoadConfiguration(configFile);
  } catch (const std::exception& error) {
    err << "telvano-setup: backup failed: the installation cannot be read: " << core::OneLine(error.what()) << "\n";
    return 1;
  }
  BackupSession session(configuration, clock, err);
  const fs::path target = session.ExecScript().BackupFileName("");
  const bool delegate = !IsServerDatabaseName(configuration.DB_Fullname) &&
                        ProgramIsRunning(platform::InstallationLockPath(configuration.ApplDataDir));
  try {
    if (delegate) {
      const std::optional<core::BackupAnswer> answer = AskRunningProgram(configuration, clock, out);
      if (!answer) throw std::runtime_error("TELVANO ended or did not take the request; nothing was saved");
      if (!answer->saved) throw std::runtime_error(answer->text);
      out << "  saved            " << answer->text << " (by the running TELVANO)\n";
    } else {
      session.ExecScript().SaveBackup("");
      out << "  saved            " << target.string() << "\n";
    }
  } catch (const std::exception& error) {
    err << "telvano-setup: backup failed: " << core::OneLine(error.what()) << "\n";
    return 1;
  }
  RemoveOldBackups(target, keep, out, err);
  return 0;
}

}  // namespace telvano::setup
