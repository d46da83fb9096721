#include "e2e_installation.h"

#include <fcntl.h>
#include <pwd.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/stored_secret.h"
#include "db/database.h"
#include "db/settings.h"
#include "support/test_paths.h"

extern char** environ;

namespace telvano::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string TelvanoProgram() { return BuildDir() + "/src/ui/telvano"; }
std::string SetupProgram() { return BuildDir() + "/tools/setup/telvano-setup"; }

// TELVANO_E2E_TIME_SCALE stretches every wait (a program under valgrind is many times slower).
std::chrono::milliseconds Scaled(std::chrono::milliseconds limit) {
  const char* scale = std::getenv("TELVANO_E2E_TIME_SCALE");
  const int factor = scale != nullptr ? std::max(1, std::atoi(scale)) : 1;
  return limit * factor;
}

std::unique_ptr<db::Database> Open(const fs::path& path) {
  return db::Database::Attach({path.string(), "SYSDBA", ""});
}

}  // namespace

std::string SampleInvoice(const std::string& item) {
  return "BLOCK_ITEMS\r\n," + item +
         ",10,1,kom,10,Ђ\r\nE-O-B\r\nBLOCK_PAYMENTS\r\nCash,,10\r\nE-O-B\r\n"
         "BLOCK_OTHERS\r\ncashier,Pera\r\nE-O-B\r\n";
}

E2eInstallation::E2eInstallation(db::SchemaLevel level) : m_registry(RegistryPath()) {
  for (const fs::path& folder : {Root() / "App" / "ApplData", Root() / "App" / "Logs", RunTime(), Input(),
                                 Output(), Archive(), CertificateDir()}) {
    fs::create_directories(folder);
  }
  WriteFileBytes(RegistryPath(), "Appl_Root=" + (Root() / "App").string() +
                                     "\nDB_Fullname=" + DatabasePath().string() +
                                     "\nExchange_Root=" + (Root() / "Exch").string() + "\n");
  auto database = db::Database::Create({DatabasePath().string(), "SYSDBA", ""});
  db::CreateSchema(*database, level);
  db::WriteSetting(*database, "SOFT_SECRET", core::StoredSecretForm(kSoftKey));
  db::WriteSetting(*database, "LOGIN_SECRET", core::StoredSecretForm(kLoginSecret));
  database->Close();
}

E2eInstallation::~E2eInstallation() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
  }
}

void E2eInstallation::AddCertificate(const CertificateRow& row) {
  auto database = Open(DatabasePath());
  if (!row.withEnvName) {
    database->Execute(
        "insert into cert_se (serial, not_after, ind_act, ind_lpfr, sub_tin, sub_ou, srv_url) "
        "values (?, '2030-01-01', 'Y', ?, ?, ?, ?)",
        {row.serial, std::string(row.lpfr ? "Y" : "N"), row.tin, row.unit, row.url});
    database->Close();
    return;
  }
  database->Execute(
      "insert into cert_se (serial, not_after, ind_act, ind_lpfr, sub_tin, sub_ou, srv_url, env_name) "
      "values (?, ?, 'Y', ?, ?, ?, ?, ?)",
      {row.serial, std::string("2030-01-01"), std::string(row.lpfr ? "Y" : "N"), row.tin, row.unit, row.url,
       row.envName});
  database->Close();
}

void E2eInstallation::SetSetting(const std::string& key, const std::string& value) {
  auto database = Open(DatabasePath());
  db::WriteSetting(*database, key, value);
  database->Close();
}

void E2eInstallation::AddConfiguration(const std::string& key, const std::string& value) {
  std::ofstream(m_registry, std::ios::app) << key << "=" << value << "\n";
}

void E2eInstallation::UseDatabaseServer(const std::string& password) {
  const struct passwd* user = ::getpwnam("firebird");
  ASSERT_NE(user, nullptr) << "no firebird user";
  // The server's user must reach the file through every folder above it and own the file itself.
  for (fs::path folder = DatabasePath().parent_path(); folder != folder.root_path(); folder = folder.parent_path()) {
    fs::permissions(folder, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
  }
  ASSERT_EQ(::chown(DatabasePath().parent_path().c_str(), user->pw_uid, user->pw_gid), 0);
  ASSERT_EQ(::chown(DatabasePath().c_str(), user->pw_uid, user->pw_gid), 0);
  std::string text = ReadFileBytes(m_registry);
  const std::string embedded = "DB_Fullname=" + DatabasePath().string() + "\n";
  const std::size_t at = text.find(embedded);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, embedded.size(), "DB_Fullname=localhost:" + DatabasePath().string() + "\nDB_Password=" + password + "\n");
  WriteFileBytes(m_registry, text);
}

std::string E2eInstallation::StoredDbVersion() const {
  auto database = Open(DatabasePath());
  const std::string version = db::ReadSetting(*database, db::kDbVersionKey);
  database->Close();
  return version;
}

pid_t E2eInstallation::Spawn(const std::vector<std::string>& arguments, const fs::path& stderrFile,
                             const std::string& display, const fs::path& lockDir) const {
  // TELVANO_E2E_WRAPPER runs the program under a checker, e.g. "valgrind --error-exitcode=99 --log-file=F".
  std::vector<std::string> words;
  if (const char* wrapper = std::getenv("TELVANO_E2E_WRAPPER"); wrapper != nullptr) {
    std::istringstream in(wrapper);
    for (std::string word; in >> word;) words.push_back(word);
  }
  words.push_back(TelvanoProgram());
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0) continue;
    // A test run under systemd must not hand its own notify socket or journal stream to the program.
    if (text.rfind("NOTIFY_SOCKET=", 0) == 0 || text.rfind("JOURNAL_STREAM=", 0) == 0 ||
        text.rfind("WATCHDOG_", 0) == 0) {
      continue;
    }
    // A name this installation sets itself is given its value only (getenv takes the first of a name).
    const std::string name = text.substr(0, text.find('=') + 1);
    const bool overridden = std::any_of(m_environment.begin(), m_environment.end(),
                                        [&name](const std::string& own) { return own.rfind(name, 0) == 0; });
    if (!overridden) environment.push_back(text);
  }
  environment.push_back("TELVANO_REGISTRY=" + m_registry.string());
  if (display.empty()) {
    environment.push_back("TELVANO_HEADLESS=1");
  } else {
    environment.push_back("DISPLAY=" + display);
  }
  environment.push_back("TELVANO_LOCK_DIR=" + (lockDir.empty() ? Root() : lockDir).string());
  environment.insert(environment.end(), m_environment.begin(), m_environment.end());
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int result = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) ADD_FAILURE() << "cannot start " << argv[0] << ": " << result;
  return result == 0 ? pid : -1;
}

void E2eInstallation::Start(const std::vector<std::string>& arguments, const std::string& display) {
  m_pid = Spawn(arguments, StderrPath(), display);
}

int E2eInstallation::RunAnother(const std::vector<std::string>& arguments, std::chrono::milliseconds limit,
                                const std::filesystem::path& lockDir) {
  const pid_t pid = Spawn(arguments, Root() / "stderr-second.txt", {}, lockDir);
  const auto deadline = std::chrono::steady_clock::now() + Scaled(limit);
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ADD_FAILURE() << "the second instance did not end within " << limit.count() << " ms";
      return -1;
    }
    std::this_thread::sleep_for(20ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int E2eInstallation::WaitForExit(std::chrono::milliseconds limit) {
  if (m_pid <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + Scaled(limit);
  int status = 0;
  while (::waitpid(m_pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, &status, 0);
      m_pid = -1;
      ADD_FAILURE() << "telvano did not end within " << limit.count() << " ms; stderr:\n" << StderrText();
      return -1;
    }
    std::this_thread::sleep_for(20ms);
  }
  m_pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void E2eInstallation::Signal(int signal) {
  if (m_pid > 0) ::kill(m_pid, signal);
}

bool E2eInstallation::Running() { return m_pid > 0 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; }

bool E2eInstallation::WaitForFile(const fs::path& path, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + Scaled(limit);
  std::error_code error;
  while (!(fs::exists(path, error) && fs::file_size(path, error) > 0)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

std::string E2eInstallation::WaitForStartInfo(std::chrono::milliseconds limit) {
  const fs::path file = Output() / "start_info.txt";
  if (!WaitForFile(file, limit)) {
    ADD_FAILURE() << "no start_info.txt within " << limit.count() << " ms; stderr:\n" << StderrText();
    return {};
  }
  std::string text = ReadFileBytes(file);
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") text.resize(text.size() - 2);
  return text;
}

void E2eInstallation::Drop(const std::string& name, const std::string& bytes) const {
  // Written under a hidden name and renamed, as a careful POS does, so the poller never sees half a file.
  const fs::path hidden = Input() / ("." + name);
  WriteFileBytes(hidden, bytes);
  fs::rename(hidden, Input() / name);
}

SetupRun E2eInstallation::RunSetup(std::vector<std::string> arguments) const {
  const std::string outPath = (Root() / "setup-out.txt").string();
  const std::string errPath = (Root() / "setup-err.txt").string();
  arguments.insert(arguments.begin(), {SetupProgram(), "--root", Root().string()});
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(outPath), ReadFileBytes(errPath)};
}

std::string E2eInstallation::Log() const {
  const fs::path file = Root() / "App" / "Logs" / "TELVANO_log.txt";
  return fs::exists(file) ? ReadFileBytes(file) : std::string();
}

std::string E2eInstallation::StderrText() const {
  const fs::path file = StderrPath();
  return fs::exists(file) ? ReadFileBytes(file) : std::string();
}

}  // namespace telvano::testing
