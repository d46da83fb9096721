#include "app/start_arguments.h"

#include <cstdlib>
#include <cstring>

namespace telvano::app {
namespace {

// The value, or nothing; the variable is gone afterwards and its whole "NAME=value" text is zeros (getenv
// points just past the "=" of that text, which stays in memory after unsetenv).
std::string TakeVariable(const char* name) {
  char* value = std::getenv(name);
  if (value == nullptr) return {};
  std::string copy(value);
  const std::size_t nameLength = std::strlen(name);
  char* entry = value - nameLength - 1;
  ::unsetenv(name);
  std::memset(entry, 0, nameLength + 1 + copy.size());
  return copy;
}

}  // namespace

std::vector<std::string> StartArguments(const std::vector<std::string>& commandLine) {
  std::vector<std::string> fromEnvironment = {TakeVariable(kSoftKeyVariable), TakeVariable(kPinVariable),
                                              TakeVariable(kSerialVariable)};
  if (!commandLine.empty() || fromEnvironment[0].empty()) return commandLine;
  return fromEnvironment;
}

}  // namespace telvano::app
