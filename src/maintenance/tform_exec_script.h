#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/configuration.h"
#include "core/message_service.h"
#include "core/working_state.h"
#include "db/database.h"
#include "db/sql_script.h"
#include "maintenance/exec_script_view.h"
#include "platform/clock.h"
#include "platform/journal_stream.h"

namespace telvano::maintenance {

inline constexpr const char* kExecScriptCaption = "Execute SQL script";
inline constexpr const char* kScriptPattern = "Script_*.sql";
inline constexpr const char* kScriptDoneText = "Script izvršen!";
inline constexpr const char* kFailedLinesText = "Neuspešne linije / Failed lines:";
inline constexpr const char* kNoScriptText =
    "Nema Script_*.sql fajla u folderu / No Script_*.sql file in:\n\n";
inline constexpr const char* kScriptNotRunText = "Script nije izvršen! / The script was not run!\n\n";
inline constexpr const char* kScriptStoppedText =
    "Script nije izvršen do kraja! / The script did not run to its end!\n\n";
inline constexpr const char* kLinesRunText = "Izvršene linije / Lines run:";
inline constexpr const char* kStoppingLineText =
    "Linija u kojoj je veza prekinuta, možda izvršena / The line at which the connection was lost, perhaps "
    "applied:";
inline constexpr const char* kLinesNotRunText = "Neizvršene linije / Lines not run:";
inline constexpr const char* kNotRunKeptText =
    "Neizvršene linije su sačuvane u fajlu / The lines not run are kept in the file:\n";
inline constexpr const char* kNotRunNotKeptText =
    "Neizvršene linije nisu sačuvane / The lines not run were not saved:\n";
inline constexpr const char* kScriptKeptText = "Script je ostao u folderu / The script stays in:\n";
inline constexpr const char* kLinesRanWarningText =
    "Izvršene linije ne smeju da se izvrše ponovo: uklonite ih iz script-a / The lines that ran must not run "
    "again: take them out of the script.";
// The comment line before the line at which a script stopped, in the file of the lines not run.
inline constexpr const char* kMaybeAppliedComment =
    "# Veza sa bazom je prekinuta u sledećoj liniji: možda je izvršena, a možda nije; proverite pre ponovnog "
    "pokretanja. / The connection to the database was lost at the next line: it may or may not have been "
    "applied; check before running it again.";
inline constexpr const char* kNotRunFileInfix = "_notrun_";
inline constexpr const char* kBackupSavedText = "BACKUP sačuvan u folderu:\n\n";
inline constexpr const char* kBackupFailedText = "BACKUP nije sačuvan! / BACKUP was not saved!\n\n";
inline constexpr const char* kBackupFolderName = "BackupDB";

// The database's maintenance tools for the operator: SQL script files that support drops into InputDir
// (the window "Execute SQL script") and the backup of the database into the BackupDB folder beside it.
// Messages go to the operator through the message service, and every failure leaves a log line.
class TFormExecScript {
 public:
  // Appends one line to the program's log file with its weight (a success is information); never raises.
  using LogLine = std::function<void(const std::string& text, platform::Priority priority)>;
  // True while another process still writes the file (the script is not complete yet).
  using StillBeingWrittenProbe = std::function<bool(const std::string& path)>;

  // `connection` is the program's connection slot: it may be empty until the start-up has opened it.
  TFormExecScript(const core::Configuration& configuration, const core::WorkingState& workingState,
                  const std::unique_ptr<db::Database>& connection, core::MessageService& messages,
                  const platform::Clock& clock, LogLine appendLog, StillBeingWrittenProbe stillBeingWritten);

  void AttachView(ExecScriptView& view) { m_view = &view; }

  // The window, modally (main menu 4 / 7); returns when the operator has closed it. Never raises.
  void ShowModal();

  // The window's caption (the main window's) and the next script in PanelFile.
  void FormShow();
  // Runs the script shown in PanelFile, then empties PanelFile. Without one, says that there is none.
  // Never raises.
  void PanelExecScriptClick();

  // The first of the complete, plain, visible "Script_*.sql" files of InputDir by name without regard to
  // case; the search stops at the first file still being written, as the poller does.
  std::optional<std::string> FindNextScript() const;

  // Runs every statement of InputDir/fileName (one per line; "#" lines and blank lines skipped), each
  // committed on its own: a failing statement is logged with Firebird's text and the next one runs. The
  // script is then deleted and "Script izvršen!" shown, followed by the lines that failed.
  // A lost connection stops the script part-way. It still runs only once: the line at which it stopped
  // (after a comment that it may or may not have been applied) and the lines after it go into a new file
  // ArchiveDir/<name>_notrun_<yyyy-mm-dd_hh-mm-ss>.sql (UTF-8; a name in use is never overwritten) for
  // the operator to look at and run again, and the script is deleted; the box lists the lines that ran,
  // the one that stopped it and the ones that did not run, and names that file; the log gets one line.
  // When that file cannot be written the script stays in InputDir and the box says why.
  // Raises db::DbError when no database is open (nothing has run then).
  void RunScript(const std::string& fileName);

  // Backs the database up to BackupFileName(suffix), consistently while it stays open, replacing a backup
  // of the same name. On success `interactive` shows "BACKUP sačuvan u folderu:" and BackupFolder(); a
  // failure (no BackupDB folder, no room, Firebird's refusal, a database on another machine) is always
  // shown and logged, and nothing is confirmed.
  // Returns true when the backup was saved. Never raises. Menu: ("", true); certificates: ("_INIT", false).
  bool BackupDatabase(const std::string& suffix, bool interactive);

  // The backup itself, without a box: logs the outcome and raises std::runtime_error with the text of the
  // failure ("BACKUP nije sačuvan! …", the file and the reason) for a caller that shows it in its own way.
  void SaveBackup(const std::string& suffix);

  // BackupFolder() + "/" + the database file's name without its last four characters + "_" + today
  // "yyyy-mm-dd" + suffix + ".mlf": "/data/TELVANO.FDB" gives "/data/BackupDB/TELVANO_2024-03-01.mlf".
  std::string BackupFileName(const std::string& suffix) const;

  // The folder of the database file (for every form of DB_Fullname, core::DatabaseFolder) + "/BackupDB",
  // made absolute when DB_Fullname gives a relative path.
  std::string BackupFolder() const;

  const std::string& PanelFile() const { return m_panelFile; }

 private:
  ExecScriptView& View();
  db::Database& Connection();
  void SetPanelFile(const std::string& text);
  void Log(const std::string& text, platform::Priority priority = platform::Priority::Warning) const;
  void ReportStoppedScript(const std::string& fileName, const db::ScriptRun& run);
  std::string KeepNotRunLines(const std::string& fileName, const db::ScriptRun& run) const;

  const core::Configuration& m_configuration;
  const core::WorkingState& m_workingState;
  const std::unique_ptr<db::Database>& m_connection;
  core::MessageService& m_messages;
  const platform::Clock& m_clock;
  LogLine m_appendLog;
  StillBeingWrittenProbe m_stillBeingWritten;
  ExecScriptView* m_view = nullptr;
  std::string m_panelFile;
};

}  // namespace telvano::maintenance
