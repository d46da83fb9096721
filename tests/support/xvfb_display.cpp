#include "support/xvfb_display.h"

#include <fcntl.h>
#include <poll.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace telvano::testing {

using namespace std::chrono_literals;

namespace {

bool Executable(const char* path) { return ::access(path, X_OK) == 0; }

// Runs a program with DISPLAY set and returns what it printed on stdout.
std::string Capture(const std::vector<std::string>& arguments, const std::string& display, int* exitCode) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> environment = {"DISPLAY=" + display, "PATH=/usr/bin:/bin"};
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[1]);
  std::string out;
  char buffer[4096];
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, got);
  ::close(pipeEnds[0]);
  int status = 0;
  if (spawned == 0) ::waitpid(pid, &status, 0);
  if (exitCode) *exitCode = spawned == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

}  // namespace

bool XvfbDisplay::Available() { return Executable("/usr/bin/Xvfb") && Executable("/usr/bin/xdotool"); }

// Xvfb picks a free display number itself and writes it to the pipe once it accepts connections: choosing
// the number here raced with other Xvfbs, and a socket left by an earlier one looked like a ready display.
XvfbDisplay::XvfbDisplay() {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) {
    ADD_FAILURE() << "cannot make a pipe for Xvfb";
    return;
  }
  const std::string displayFd = std::to_string(pipeEnds[1]);
  const char* argv[] = {"/usr/bin/Xvfb", "-displayfd", displayFd.c_str(), "-screen", "0", "1280x900x24",
                        "-nolisten", "tcp", nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[1]);
  if (spawned != 0) {
    ::close(pipeEnds[0]);
    ADD_FAILURE() << "cannot start Xvfb";
    m_pid = -1;
    return;
  }
  std::string number;
  pollfd ready{pipeEnds[0], POLLIN, 0};
  char c = 0;
  while (::poll(&ready, 1, 30000) == 1 && ::read(pipeEnds[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(pipeEnds[0]);
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
    ADD_FAILURE() << "Xvfb did not come up";
    return;
  }
  m_number = std::stoi(number);
}

XvfbDisplay::~XvfbDisplay() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
  }
}

std::string XvfbDisplay::CopiedText(const std::string& window) const {
  if (!Executable("/usr/bin/xclip")) return {};
  // A window that copies nothing must not read as the text of the one before. (Emptying the clipboard with
  // xclip -i would leave an xclip behind that holds the pipe.)
  const std::vector<std::string> read = {"/usr/bin/xclip", "-selection", "clipboard", "-o"};
  const std::string before = Capture(read, Name(), nullptr);
  Keys(window, {"ctrl+c"});
  const std::string after = Capture(read, Name(), nullptr);
  return after != before ? after : std::string();
}

std::string XvfbDisplay::Xdotool(std::vector<std::string> arguments, int* exitCode) const {
  arguments.insert(arguments.begin(), "/usr/bin/xdotool");
  return Capture(arguments, Name(), exitCode);
}

std::string XvfbDisplay::WaitForWindow(const std::string& namePattern, std::chrono::milliseconds limit,
                                       const std::function<bool()>& worthWaiting) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  do {
    const std::string ids = Xdotool({"search", "--onlyvisible", "--name", namePattern});
    if (!ids.empty()) return ids.substr(0, ids.find('\n'));
    if (worthWaiting && !worthWaiting()) break;
    std::this_thread::sleep_for(50ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return {};
}

std::string XvfbDisplay::WaitForOtherWindow(const std::string& namePattern, const std::string& except,
                                            std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  do {
    const std::string ids = Xdotool({"search", "--onlyvisible", "--name", namePattern});
    for (std::size_t at = 0; at < ids.size();) {
      const std::size_t end = ids.find('\n', at);
      const std::string id = ids.substr(at, end == std::string::npos ? std::string::npos : end - at);
      if (!id.empty() && id != except) return id;
      if (end == std::string::npos) break;
      at = end + 1;
    }
    std::this_thread::sleep_for(50ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return {};
}

bool XvfbDisplay::WaitForWindowClosed(const std::string& window, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  do {
    const std::string ids = Xdotool({"search", "--onlyvisible", "--name", "."});
    if (("\n" + ids).find("\n" + window + "\n") == std::string::npos) return true;
    std::this_thread::sleep_for(50ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

bool XvfbDisplay::WaitForWindowGone(const std::string& namePattern, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  do {
    if (Xdotool({"search", "--onlyvisible", "--name", namePattern}).empty()) return true;
    std::this_thread::sleep_for(50ms);
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

void XvfbDisplay::Type(const std::string& window, const std::string& text) const {
  Xdotool({"windowfocus", "--sync", window});
  Xdotool({"type", "--delay", "20", text});
}

void XvfbDisplay::Keys(const std::string& window, const std::vector<std::string>& keys) const {
  Xdotool({"windowfocus", "--sync", window});
  for (const std::string& key : keys) Xdotool({"key", key});
}

std::string XvfbDisplay::WindowNames() const {
  std::string names;
  const std::string ids = Xdotool({"search", "--onlyvisible", "--name", "."});
  for (std::size_t at = 0; at < ids.size();) {
    const std::size_t end = ids.find('\n', at);
    const std::string id = ids.substr(at, end - at);
    if (!id.empty()) names += "  " + Xdotool({"getwindowname", id});
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return names;
}

}  // namespace telvano::testing
