#include "program_run.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/temp_dir.h"

extern char** environ;

namespace telvano::testing {

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& extraEnvironment) {
  TempDir scratch;
  const std::string errPath = scratch / "stderr";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (char** entry = environ; *entry; ++entry) envp.push_back(*entry);
  for (const auto& entry : extraEnvironment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);

  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start " + program);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  ProgramResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.standardError = ReadFileBytes(errPath);
  return result;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

OneShotListener::OneShotListener() {
  m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(m_fd, 4) != 0 ||
      getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1");
  m_port = ntohs(address.sin_port);
}

OneShotListener::~OneShotListener() {
  if (m_fd >= 0) close(m_fd);
}

bool OneShotListener::ConnectionPending() const {
  pollfd waiting{m_fd, POLLIN, 0};
  return poll(&waiting, 1, 0) > 0;
}

std::string OneShotListener::Receive(std::chrono::milliseconds limit) {
  pollfd waiting{m_fd, POLLIN, 0};
  if (poll(&waiting, 1, static_cast<int>(limit.count())) <= 0) throw std::runtime_error("no connection came");
  const int connection = accept(m_fd, nullptr, nullptr);
  if (connection < 0) throw std::runtime_error("accept failed");
  std::string received;
  char buffer[4096];
  while (true) {
    pollfd data{connection, POLLIN, 0};
    if (poll(&data, 1, static_cast<int>(limit.count())) <= 0) break;
    const ssize_t count = read(connection, buffer, sizeof buffer);
    if (count <= 0) break;
    received.append(buffer, static_cast<std::size_t>(count));
  }
  close(connection);
  return received;
}

}  // namespace telvano::testing
