#include "support/firebird_server.h"

#include "support/test_database.h"
#include "support/test_paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

namespace telvano::testing {

namespace {

namespace fs = std::filesystem;

constexpr const char* kGuard = "/usr/sbin/fbguard";
constexpr const char* kLockFile = "/tmp/telvano-firebird-server.lock";

std::string Script() { return SourceDir() + "/scripts/firebird-server.sh"; }

// Runs the script with one sub-command; returns its exit code and everything it printed.
std::pair<int, std::string> RunScript(const std::string& command) {
  const std::string script = Script();
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork: " + std::string(std::strerror(errno)));
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(out[1], STDERR_FILENO);
    int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) dup2(devNull, STDIN_FILENO);
    // Nothing of this process (the server lock above all, or a client socket) may live on in the daemon.
    close_range(3, ~0U, 0);
    execl(script.c_str(), script.c_str(), command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string output;
  std::array<char, 1024> buffer;
  for (;;) {
    ssize_t got = read(out[0], buffer.data(), buffer.size());
    if (got > 0)
      output.append(buffer.data(), static_cast<std::size_t>(got));
    else if (got == 0 || errno != EINTR)
      break;
  }
  close(out[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string RunScriptOrThrow(const std::string& command) {
  auto [code, output] = RunScript(command);
  if (code != 0)
    throw std::runtime_error(Script() + " " + command + " failed (exit " + std::to_string(code) + "):\n" +
                             output);
  return output;
}

}  // namespace

bool FirebirdServer::Available() {
  return geteuid() == 0 && access(Script().c_str(), X_OK) == 0 && access(kGuard, X_OK) == 0;
}

FirebirdServer::FirebirdServer(std::chrono::seconds lockWait) {
  m_lock = open(kLockFile, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (m_lock < 0)
    throw std::runtime_error(std::string("cannot open ") + kLockFile + ": " + std::strerror(errno));
  const auto deadline = std::chrono::steady_clock::now() + lockWait;
  while (flock(m_lock, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      close(m_lock);
      throw std::runtime_error(std::string("cannot lock ") + kLockFile + ": " + std::strerror(errno));
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      close(m_lock);
      throw std::runtime_error("another test has held the Firebird server (" + std::string(kLockFile) +
                               ") for over " + std::to_string(lockWait.count()) + " s");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  m_wasRunning = Running();
}

FirebirdServer::~FirebirdServer() {
  try {
    if (Running() != m_wasRunning) RunScript(m_wasRunning ? "start" : "stop");
  } catch (...) {
    // A destructor reports nothing; the next user's Start() or Stop() tells.
  }
  close(m_lock);  // releases the lock
}

void FirebirdServer::Start() { RunScriptOrThrow("start"); }

void FirebirdServer::Stop() { RunScriptOrThrow("stop"); }

bool FirebirdServer::Running() const { return RunScript("status").first == 0; }

std::string FirebirdServer::Password() {
  if (m_password.empty()) {
    std::string output = RunScriptOrThrow("password");
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    if (output.empty()) throw std::runtime_error(Script() + " password printed nothing");
    m_password = output;
  }
  return m_password;
}

std::string FirebirdServer::CreateDatabase(const fs::path& file, db::SchemaLevel level) {
  const fs::path target = fs::absolute(file).lexically_normal();
  {
    // The embedded template of test_database, copied while nobody has it open.
    TestDatabase source(level);
    source.Close();
    fs::copy_file(source.Path(), target);
  }
  // The server runs as user firebird: it must be able to reach, read and write the file (and its folder).
  const passwd* account = getpwnam("firebird");
  if (!account) throw std::runtime_error("there is no user firebird: is firebird3.0-server installed?");
  for (const fs::path& path : {target.parent_path(), target}) {
    if (chown(path.c_str(), account->pw_uid, account->pw_gid) != 0)
      throw std::runtime_error("cannot give " + path.string() + " to firebird: " + std::strerror(errno));
  }
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                              fs::perms::group_write);
  return "localhost:" + target.string();
}

}  // namespace telvano::testing
