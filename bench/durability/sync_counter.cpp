#include "sync_counter.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>

namespace telvano::bench {
namespace {

std::atomic<bool> g_counting{false};
std::atomic<long> g_flushes{0};
std::atomic<long> g_forcedWrites{0};

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

void CountFlush() {
  if (g_counting) ++g_flushes;
}

void CountWrite(int fd) {
  if (!g_counting) return;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & (O_SYNC | O_DSYNC)) != 0) ++g_forcedWrites;
}

}  // namespace

void StartCountingSyncs() {
  g_flushes = 0;
  g_forcedWrites = 0;
  g_counting = true;
}

SyncCounts StopCountingSyncs() {
  g_counting = false;
  return {g_flushes.load(), g_forcedWrites.load()};
}

}  // namespace telvano::bench

extern "C" {

int fsync(int fd) {
  telvano::bench::CountFlush();
  static const auto next = telvano::bench::Next<int (*)(int)>("fsync");
  return next(fd);
}

int fdatasync(int fd) {
  telvano::bench::CountFlush();
  static const auto next = telvano::bench::Next<int (*)(int)>("fdatasync");
  return next(fd);
}

int syncfs(int fd) {
  telvano::bench::CountFlush();
  static const auto next = telvano::bench::Next<int (*)(int)>("syncfs");
  return next(fd);
}

int sync_file_range(int fd, off64_t offset, off64_t length, unsigned int flags) {
  telvano::bench::CountFlush();
  static const auto next = telvano::bench::Next<int (*)(int, off64_t, off64_t, unsigned int)>("sync_file_range");
  return next(fd, offset, length, flags);
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
  telvano::bench::CountWrite(fd);
  static const auto next = telvano::bench::Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
  return next(fd, buffer, count, offset);
}

ssize_t pwrite64(int fd, const void* buffer, size_t count, off64_t offset) {
  telvano::bench::CountWrite(fd);
  static const auto next = telvano::bench::Next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
  return next(fd, buffer, count, offset);
}

}  // extern "C"
