#include "app/start_arguments.h"

#include <cstdlib>
#include <cstring>

namespace telvano::app {
namespace {

// The value, or nothing; the variable is gone afterwards and its old text is zeros.
std::string TakeVariable(const char* name) {
  char* value = std::getenv(name);
  if (value == nullptr) return {};
  std::string copy(value);
  std::memset(value, 0, copy.size());
  ::unsetenv(name);
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
