#include "test_pki_script.h"

namespace telvano::pfrsim {

std::string TestPkiScriptPath() { return PFRSIM_PKI_SCRIPT; }

}  // namespace telvano::pfrsim
