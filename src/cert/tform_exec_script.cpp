#include "cert/tform_exec_script.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "core/text_utils.h"
#include "core/time_text.h"
#include "core/working_certificate.h"
#include "db/database_backup.h"
#include "db/sql_script.h"
#include "platform/code_page.h"
#include "platform/directory_listing.h"
#include "platform/text_case.h"
#include "platform/whole_file.h"

namespace telvano::cert {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxScriptBytes = 64 * 1024 * 1024;
constexpr std::size_t kListedFailures = 20;        // lines named in the final box; the log has them all
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

// "  3: insert into my_reg ..." for the final box.
std::string FailureLines(const std::vector<db::ScriptFailure>& failures) {
  std::string text;
  for (std::size_t i = 0; i < failures.size() && i < kListedFailures; ++i) {
    const db::ScriptStatement& statement = failures[i].statement;
    std::string sql = core::TrimBlanks(statement.sql);
    if (core::Utf8Length(sql) > kListedStatementChars)
      sql = core::Utf8Prefix(sql, kListedStatementChars) + "…";
    text += "\n" + std::to_string(statement.lineNumber) + ": " + sql;
  }
  if (failures.size() > kListedFailures) {
    text += "\n… (+" + std::to_string(failures.size() - kListedFailures) + ")";
  }
  return text;
}

// The database file's name without a "host:" in front and without its folder.
std::string DatabaseFileName(const std::string& dbFullname) {
  std::string path = dbFullname;
  const std::size_t colon = path.find(':');
  if (colon != std::string::npos && path.find('/') > colon) path.erase(0, colon + 1);
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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
  const std::string failedLines = run.failures.empty()
                                      ? std::string()
                                      : "\n\n" + std::string(kFailedLinesText) + FailureLines(run.failures);

  if (run.connectionLost) {
    // Nothing after this line has run: the file stays for another try once the database is back.
    const int line = run.connectionLost->statement.lineNumber;
    Log("SQL script " + fileName + " stopped at line " + std::to_string(line) +
        ", the connection to the database was lost: " + OneLine(run.connectionLost->error));
    m_messages.ShowInfo(kScriptStoppedText + fileName + "\n\nVeza sa bazom podataka je prekinuta u liniji " +
                        std::to_string(line) + " / The connection to the database was lost at line " +
                        std::to_string(line) + "." + failedLines +
                        "\n\nScript je ostao u folderu / The script stays in:\n" + m_configuration.InputDir);
    return;
  }

  std::string notDeleted;
  std::error_code removeError;
  if (!fs::remove(path, removeError) || removeError) {
    const std::string why = removeError ? removeError.message() : "the file is gone";
    Log("SQL script " + fileName + " was not deleted: " + why);
    if (removeError) notDeleted = "\n\nScript nije obrisan / The script was not deleted: " + why;
  }
  Log("SQL script " + fileName + " run: " + std::to_string(run.executed) + " statement(s) done, " +
      std::to_string(run.failures.size()) + " failed",
      run.failures.empty() ? platform::Priority::Information : platform::Priority::Warning);
  m_messages.ShowInfo(kScriptDoneText + failedLines + notDeleted);
}

std::string TFormExecScript::BackupFileName(const std::string& suffix) const {
  const std::string name = DatabaseFileName(m_configuration.DB_Fullname);
  const std::size_t length = core::Utf8Length(name);
  const std::string stem = length > 4 ? core::Utf8Prefix(name, length - 4) : std::string();
  return core::DatabaseFolder(m_configuration.DB_Fullname) + "/" + kBackupFolderName + "/" + stem + "_" +
         core::DateText(m_clock.LocalNow()) + suffix + ".mlf";
}

void TFormExecScript::SaveBackup(const std::string& suffix) {
  const std::string folder = core::DatabaseFolder(m_configuration.DB_Fullname) + "/" + kBackupFolderName;
  const std::string target = BackupFileName(suffix);
  try {
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
    m_messages.ShowInfo(kBackupSavedText + core::DatabaseFolder(m_configuration.DB_Fullname) + "/" +
                        kBackupFolderName + "/");
  }
  return true;
}

}  // namespace telvano::cert
