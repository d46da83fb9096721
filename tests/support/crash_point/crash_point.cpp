// Preloaded into the real program (LD_PRELOAD) to kill it at one exact moment of its work, the way a power
// cut would: TELVANO_TEST_CRASH_AT names the moment.
//   read:<suffix>    a file whose name ends in <suffix> is opened for reading (killed before it is read)
//   create:<text>    a file whose name holds <text> is created (killed before it exists)
//   rename:<suffix>  a file is renamed to a name ending in <suffix> (killed just after the rename)
// The program is killed with SIGKILL: nothing of it runs after that moment.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

bool Matches(std::string_view kind, const char* path, bool wholeSuffix) {
  const char* setting = std::getenv("TELVANO_TEST_CRASH_AT");
  if (setting == nullptr || path == nullptr) return false;
  const std::string_view at(setting);
  if (at.size() <= kind.size() || at.substr(0, kind.size()) != kind || at[kind.size()] != ':') return false;
  const std::string_view text = at.substr(kind.size() + 1);
  const std::string_view name(path);
  if (wholeSuffix) return name.size() >= text.size() && name.substr(name.size() - text.size()) == text;
  return name.find(text) != std::string_view::npos;
}

[[noreturn]] void Crash() {
  ::kill(::getpid(), SIGKILL);
  ::_exit(137);
}

void CheckOpen(const char* path, int flags) {
  if ((flags & O_ACCMODE) == O_RDONLY && Matches("read", path, true)) Crash();
  if ((flags & O_CREAT) != 0 && Matches("create", path, false)) Crash();
}

void CheckFopen(const char* path, const char* mode) {
  const bool reading = mode != nullptr && mode[0] == 'r' && std::strchr(mode, '+') == nullptr;
  CheckOpen(path, reading ? O_RDONLY : (O_WRONLY | O_CREAT));
}

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

mode_t ModeOf(int flags, va_list arguments) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  CheckOpen(path, flags);
  static const auto next = Next<int (*)(const char*, int, ...)>("open");
  return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  CheckOpen(path, flags);
  static const auto next = Next<int (*)(const char*, int, ...)>("open64");
  return next(path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  CheckOpen(path, flags);
  static const auto next = Next<int (*)(int, const char*, int, ...)>("openat");
  return next(folder, path, flags, mode);
}

FILE* fopen(const char* path, const char* mode) {
  CheckFopen(path, mode);
  static const auto next = Next<FILE* (*)(const char*, const char*)>("fopen");
  return next(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
  CheckFopen(path, mode);
  static const auto next = Next<FILE* (*)(const char*, const char*)>("fopen64");
  return next(path, mode);
}

int rename(const char* from, const char* to) {
  static const auto next = Next<int (*)(const char*, const char*)>("rename");
  const int result = next(from, to);
  if (result == 0 && Matches("rename", to, true)) Crash();
  return result;
}

}  // extern "C"
