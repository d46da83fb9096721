#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace telvano::platform {

pid_t StartDetached(const std::string& program, const std::vector<std::string>& arguments, std::string* error) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) {
    if (error) *error = program + ": " + std::strerror(rc);
    return -1;
  }
  // Reap the child whenever it ends; we never wait for its result.
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return pid;
}

void EndProcess(pid_t pid) {
  if (pid > 0) kill(pid, SIGTERM);
}

}  // namespace telvano::platform
