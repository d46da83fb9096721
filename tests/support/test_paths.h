#pragma once

#include <string>

namespace telvano::testing {

// The project's source folder and the build folder the tests were built in (fixed when the tests are built;
// $TELVANO_SOURCE_DIR and $TELVANO_BUILD_DIR win when set).
std::string SourceDir();
std::string BuildDir();

}  // namespace telvano::testing
