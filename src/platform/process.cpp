#include "platform/process.h"

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace telvano::platform {

namespace {

// "" when `path` (not followed) belongs to root or to us and only its owner may write it.
std::string OwnershipProblem(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return path + ": " + std::strerror(errno);
  if (info.st_uid != 0 && info.st_uid != ::geteuid()) return path + " belongs to another user";
  if (!S_ISLNK(info.st_mode) && (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return path + " may be written by others";
  }
  return {};
}

std::string FolderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

}  // namespace

std::string UntrustedProgramReason(const std::string& program) {
  const std::string refused = "Program se ne pokreće / The program is not started: " + program + " (";
  std::string reason = OwnershipProblem(FolderOf(program));
  if (!reason.empty()) return refused + reason + ")";
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(program, error);
  if (error) return refused + error.message() + ")";
  for (const std::string& path : {target.string(), target.parent_path().string()}) {
    reason = OwnershipProblem(path);
    if (!reason.empty()) return refused + reason + ")";
  }
  struct stat info {};
  if (::stat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return refused + "not a regular file)";
  return {};
}

pid_t StartDetached(const std::string& program, const std::vector<std::string>& arguments, std::string* error) {
  if (const std::string reason = UntrustedProgramReason(program); !reason.empty()) {
    if (error) *error = reason;
    return -1;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  // The child gets standard input, output and error only. Everything else we hold open (above all the
  // database file and the embedded engine's lock files, which Firebird does not mark close-on-exec)
  // would otherwise live on in the child and keep the database locked after we end.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  // The child starts with no blocked signals and default stop handlers, whatever the caller blocks (the
  // program reads SIGINT/SIGTERM through a signalfd), so ending it with SIGTERM works.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
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
  if (pid <= 0) return;
  // Once our child has ended and been reaped, its number may already belong to some unrelated process:
  // signal it only while it is still our child.
  siginfo_t info{};
  if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return;
  kill(pid, SIGTERM);
}

}  // namespace telvano::platform
