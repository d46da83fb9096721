#include "maintenance/tform_exec_script.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "core/text_utils.h"
#include "core/time_text.h"
#include "core/working_certificate.h"
#include "db/connection_string.h"
#include "db/database_backup.h"
#include "db/sql_script.h"
#include "platform/code_page.h"
#include "platform/directory_listing.h"
#include "platform/text_case.h"
#include "platform/whole_file.h"

namespace telvano::maintenance {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxScriptBytes = 64 * 1024 * 1024;
constexpr std::size_t kListedLines = 20;           // lines named under each heading of the final box
constexpr std::size_t kListedStatementChars = 60;  // of each statement in the box

// Firebird's lines on one log line: "Dynamic SQL Error -SQL error code = -104 -Token unknown ...".
std::string OneLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// The script's text as UTF-8, from the encodings a text editor may leave: a byte-order mark of UTF-8 or
// UTF-16, plain UTF-8, or else the configured code page.
std::string ScriptText(const std::string& bytes, const std::string& codePage) {
  auto startsWith = [&bytes](std::string_view mark) { return bytes.compare(0, mark.size(), mark) == 0; };
  if (startsWith("\xEF\xBB\xBF")) return bytes.substr(3);
  if (startsWith("\xFF\xFE")) return platform::ToUtf8(std::string_view(bytes).substr(2), "UTF-16LE");
  if (startsWith("\xFE\xFF")) return platform::ToUtf8(std::string_view(bytes).substr(2), "UTF-16BE");
  if (!platform::FindInvalidUtf8(bytes)) return bytes;
  return platform::ToUtf8(bytes, codePage);
}

bool NameLessNoCase(const std::string& left, const std::string& right) {
  const std::string a = platform::ToUpperUnicode(left);
  const std::string b = platform::ToUpperUnicode(right);
  return a != b ? a < b : left < right;
}

// "\n3: insert into my_reg ..." for each statement, as many as the box takes.
std::string StatementLines(const std::vector<db::ScriptStatement>& statements) {
  std::string text;
  for (std::size_t i = 0; i < statements.size() && i < kListedLines; ++i) {
    std::string sql = core::TrimBlanks(statements[i].sql);
    if (core::Utf8Length(sql) > kListedStatementChars)
      sql = core::Utf8Prefix(sql, kListedStatementChars) + "…";
    text += "\n" + std::to_string(statements[i].lineNumber) + ": " + sql;
  }
  if (statements.size() > kListedLines) {
    text += "\n… (+" + std::to_string(statements.size() - kListedLines) + ")";
  }
  return text;
}

// "\n\n" + the heading and the lines, or nothing without lines.
std::string Listed(const char* heading, const std::vector<db::ScriptStatement>& statements) {
  return statements.empty() ? std::string() : "\n\n" + std::string(heading) + StatementLines(statements);
}

std::string FailureLines(const std::vector<db::ScriptFailure>& failures) {
  std::vector<db::ScriptStatement> statements;
  for (const db::ScriptFailure& failure : failures) statements.push_back(failure.statement);
  return Listed(kFailedLinesText, statements);
}

// The database file's name without its folder, for every form of DB_Fullname.
std::string DatabaseFileName(const std::string& dbFullname) {
  const std::string path = db::ReadConnectionString(dbFullname).path;
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "2024-03-01_10-15-02": a time that fits into a file name.
std::string FileNameTime(const platform::LocalDateTime& time) {
  std::string text = core::DateTimeText(time);
  for (char& c : text) {
    if (c == ' ') c = '_';
    if (c == ':') c = '-';
  }
  return text;
}

// Creates `path` empty, failing when anything of that name is there already (a link included), so that the
// durable write that follows replaces only our own file.
bool ReserveName(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw platform::FileError("Ne mogu da upišem fajl / Cannot write file: " + path + " (" +
                              std::strerror(errno) + ")");
  }
  ::close(fd);
  return true;
}

// The file of the lines not run: a heading, the stopping line after its warning, then the rest unchanged.
std::string NotRunText(const std::string& fileName, const db::ScriptRun& run, const std::string& when) {
  std::string text = "# " + fileName + ", " + when + ": linije koje nisu izvršene / the lines not run\n";
  text += std::string(kMaybeAppliedComment) + "\n" + run.connectionLost->statement.sql + "\n";
  for (const db::ScriptStatement& statement : run.notRun) text += statement.sql + "\n";
  return text;
}

// Deletes the script; "" when it is gone, else why not.
std::string RemoveScript(const std::string& path) {
  std::error_code error;
  if (fs::remove(path, error) && !error) return {};
  return error ? error.message() : "the file is gone";
}

}  // namespace

TFormExecScript::TFormExecScript(const core::Configuration& configuration,
                                 const core::WorkingState& workingState,
                                 const std::unique_ptr<db::Database>& connection,
                                 core::MessageService& messages, const platform::Clock& clock,
                                 LogLine appendLog, StillBeingWrittenProbe stillBeingWritten)
    : m_configuration(configuration),
      m_workingState(workingState),
      m_connection(connection),
      m_messages(messages),
      m_clock(clock),
      m_appendLog(std::move(appendLog)),
      m_stillBeingWritten(std::move(stillBeingWritten)) {}

ExecScriptView& TFormExecScript::View() {
  if (m_view == nullptr) throw std::logic_error("the SQL script window has no view");
  return *m_view;
}

db::Database& TFormExecScript::Connection() {
  if (!m_connection || !m_connection->IsOpen()) throw db::DbError("the database is not open");
  return *m_connection;
}

void TFormExecScript::Log(const std::string& text, platform::Priority priority) const {
  if (m_appendLog) m_appendLog(text, priority);
}

void TFormExecScript::SetPanelFile(const std::string& text) {
  m_panelFile = text;
  View().SetPanelFile(text);
}

void TFormExecScript::ShowModal() {
  try {
    FormShow();
    View().ExecModal();
  } catch (const std::exception& error) {
    m_messages.ShowInfo(error.what());
  }
}

void TFormExecScript::FormShow() {
  View().SetCaption(core::WindowCaption(m_workingState, m_configuration.ProgramVersion));
  SetPanelFile(FindNextScript().value_or(""));
}

void TFormExecScript::PanelExecScriptClick() {
  try {
    if (m_panelFile.empty()) {
      m_messages.ShowInfo(kNoScriptText + m_configuration.InputDir);
      return;
    }
    const std::string fileName = m_panelFile;
    SetPanelFile("");
    RunScript(fileName);
  } catch (const std::exception& error) {
    Log("SQL script not run: " + OneLine(error.what()));
    m_messages.ShowInfo(kScriptNotRunText + std::string(error.what()));
  }
}

std::optional<std::string> TFormExecScript::FindNextScript() const {
  std::vector<platform::DirectoryEntry> entries;
  try {
    entries = platform::ListDirectory(m_configuration.InputDir);
  } catch (const std::system_error&) {
    return std::nullopt;  // no input folder: nothing to offer
  }
  std::vector<std::string> names;
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.directory || entry.hidden || entry.system) continue;
    if (!platform::MatchesPattern(entry.name, kScriptPattern)) continue;
    if (m_stillBeingWritten &&
        m_stillBeingWritten((fs::path(m_configuration.InputDir) / entry.name).string())) {
      break;  // it and everything after it wait for the next look
    }
    names.push_back(entry.name);
  }
  if (names.empty()) return std::nullopt;
  return *std::min_element(names.begin(), names.end(), NameLessNoCase);
}

void TFormExecScript::RunScript(const std::string& fileName) {
  const std::string path = (fs::path(m_configuration.InputDir) / fileName).string();
  db::Database& database = Connection();
  std::string text;
  try {
    text = ScriptText(platform::ReadRegularFile(path, kMaxScriptBytes), m_configuration.CodePage);
  } catch (const std::exception& error) {
    Log("SQL script " + fileName + " cannot be read: " + OneLine(error.what()));
    m_messages.ShowInfo(kScriptNotRunText + fileName + "\n\n" + error.what());
    return;
  }

  const db::ScriptRun run = db::RunScriptStatements(database, db::ScriptStatements(text));
  for (const db::ScriptFailure& failure : run.failures) {
    Log("SQL script " + fileName + " line " + std::to_string(failure.statement.lineNumber) +
        " failed: " + OneLine(failure.error) + " | " + core::TrimBlanks(failure.statement.sql));
  }
  if (run.connectionLost) {
    ReportStoppedScript(fileName, run);
    return;
  }

  std::string notDeleted;
  if (const std::string why = RemoveScript(path); !why.empty()) {
    Log("SQL script " + fileName + " was not deleted: " + why);
    if (fs::exists(path)) notDeleted = "\n\nScript nije obrisan / The script was not deleted: " + why;
  }
  Log("SQL script " + fileName + " run: " + std::to_string(run.done.size()) + " statement(s) done, " +
      std::to_string(run.failures.size()) + " failed",
      run.failures.empty() ? platform::Priority::Information : platform::Priority::Warning);
  m_messages.ShowInfo(kScriptDoneText + FailureLines(run.failures) + notDeleted);
}

// The script stopped at a lost connection: what ran is committed and must never run again, so the script
// goes as after a whole run and what did not run is kept apart for the operator.
void TFormExecScript::ReportStoppedScript(const std::string& fileName, const db::ScriptRun& run) {
  const db::ScriptFailure& stop = *run.connectionLost;
  const std::string line = std::to_string(stop.statement.lineNumber);
  std::string box = kScriptStoppedText + fileName + "\n\nVeza sa bazom podataka je prekinuta u liniji " + line +
                    " / The connection to the database was lost at line " + line + "." +
                    Listed(kLinesRunText, run.done) + FailureLines(run.failures) +
                    Listed(kStoppingLineText, {stop.statement}) + Listed(kLinesNotRunText, run.notRun);
  std::string outcome;
  try {
    const std::string kept = KeepNotRunLines(fileName, run);
    box += "\n\n" + std::string(kNotRunKeptText) + kept;
    outcome = "; the lines not run are kept in " + kept;
    const std::string path = (fs::path(m_configuration.InputDir) / fileName).string();
    if (const std::string why = RemoveScript(path); !why.empty() && fs::exists(path)) {
      box += "\n\nScript nije obrisan / The script was not deleted: " + why + "\n" + kLinesRanWarningText;
      outcome += "; the script was not deleted: " + why;
    }
  } catch (const std::exception& error) {
    box += "\n\n" + std::string(kNotRunNotKeptText) + error.what() + "\n\n" + kScriptKeptText +
           m_configuration.InputDir + "\n" + kLinesRanWarningText;
    outcome = "; the lines not run could not be kept (" + OneLine(error.what()) + "), the script stays in " +
              m_configuration.InputDir;
  }
  Log("SQL script " + fileName + " stopped at line " + line + ", the connection to the database was lost (" +
      OneLine(stop.error) + "): " + std::to_string(run.done.size()) + " statement(s) done, " +
      std::to_string(run.failures.size()) + " failed, " + std::to_string(run.notRun.size() + 1) +
      " not run" + outcome);
  m_messages.ShowInfo(box);
}

// Writes the lines not run into a new file of ArchiveDir and returns its path; raises with the path and the
// reason when it cannot. A name in use is never overwritten: the next free "_2", "_3" … is taken.
std::string TFormExecScript::KeepNotRunLines(const std::string& fileName, const db::ScriptRun& run) const {
  if (m_configuration.ArchiveDir.empty()) throw platform::FileError("Nema foldera Archive / No Archive folder");
  std::string stem = fileName;
  if (stem.size() > 4 && platform::MatchesPattern(stem, "*.sql")) stem.resize(stem.size() - 4);
  const platform::LocalDateTime now = m_clock.LocalNow();
  const std::string base = (fs::path(m_configuration.ArchiveDir) / (stem + kNotRunFileInfix)).string() +
                           FileNameTime(now);
  constexpr int kMaxNames = 100;
  for (int number = 1; number <= kMaxNames; ++number) {
    const std::string path = base + (number == 1 ? "" : "_" + std::to_string(number)) + ".sql";
    if (!ReserveName(path)) continue;
    try {
      platform::WriteFileDurably(path, NotRunText(fileName, run, core::DateTimeText(now)));
    } catch (...) {
      ::unlink(path.c_str());
      throw;
    }
    return path;
  }
  throw platform::FileError("Ne mogu da upišem fajl / Cannot write file: " + base + ".sql (" +
                            std::to_string(kMaxNames) + " files of that name exist already)");
}

std::string TFormExecScript::BackupFolder() const {
  std::string folder = core::DatabaseFolder(m_configuration.DB_Fullname);
  if (!folder.empty() && folder.front() != '/') {
    std::error_code ignored;  // without a working folder the relative one is all there is
    const fs::path absolute = fs::absolute(folder, ignored).lexically_normal();
    if (!absolute.empty()) folder = absolute.string();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  }
  return (folder == "/" ? "" : folder) + "/" + kBackupFolderName;
}

std::string TFormExecScript::BackupFileName(const std::string& suffix) const {
  const std::string name = DatabaseFileName(m_configuration.DB_Fullname);
  const std::size_t length = core::Utf8Length(name);
  const std::string stem = length > 4 ? core::Utf8Prefix(name, length - 4) : std::string();
  return BackupFolder() + "/" + stem + "_" + core::DateText(m_clock.LocalNow()) + suffix + ".mlf";
}

void TFormExecScript::SaveBackup(const std::string& suffix) {
  const std::string folder = BackupFolder();
  const std::string target = BackupFileName(suffix);
  try {
    // The copy is taken by the engine that opens the database and finished here: both must be this machine.
    const db::ConnectionString where = db::ReadConnectionString(m_configuration.DB_Fullname);
    if (!where.OnThisMachine()) {
      throw std::runtime_error("Baza podataka je na serveru " + where.host +
                               "; backup se pravi na tom računaru / The database is on the server " +
                               where.host + "; its backup is made on that machine");
    }
    std::error_code folderError;
    if (!fs::is_directory(folder, folderError)) {
      throw std::runtime_error("Folder ne postoji / The folder does not exist:\n" + folder);
    }
    db::Database::Options options;
    options.name = m_configuration.DB_Fullname;
    options.user = "SYSDBA";
    options.password = m_configuration.DB_Password;
    db::BackupDatabaseFile(options, target);
  } catch (const std::exception& error) {
    Log("BACKUP not saved: " + target + ": " + OneLine(error.what()));
    throw std::runtime_error(kBackupFailedText + target + "\n\n" + error.what());
  }
  Log("BACKUP saved: " + target, platform::Priority::Information);
}

bool TFormExecScript::BackupDatabase(const std::string& suffix, bool interactive) {
  try {
    SaveBackup(suffix);
  } catch (const std::exception& error) {
    m_messages.ShowInfo(error.what());
    return false;
  }
  if (interactive) {
    m_messages.ShowInfo(kBackupSavedText + BackupFolder() + "/");
  }
  return true;
}

}  // namespace telvano::maintenance
