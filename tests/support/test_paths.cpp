#include "support/test_paths.h"

#include <cstdlib>

namespace telvano::testing {
namespace {

std::string FromEnvironmentOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

std::string SourceDir() { return FromEnvironmentOr("TELVANO_SOURCE_DIR", TELVANO_TEST_SOURCE_DIR); }

std::string BuildDir() { return FromEnvironmentOr("TELVANO_BUILD_DIR", TELVANO_TEST_BUILD_DIR); }

}  // namespace telvano::testing
