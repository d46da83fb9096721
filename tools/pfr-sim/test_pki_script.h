#pragma once

#include <string>

namespace telvano::pfrsim {

// Where make-test-pki.sh lies (the source tree this library was built from), for tests and benchmarks that
// need a throwaway PKI.
std::string TestPkiScriptPath();

}  // namespace telvano::pfrsim
