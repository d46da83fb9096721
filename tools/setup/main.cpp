// telvano-setup: creates a complete TELVANO installation (see UsageText()).
#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "installation.h"
#include "setup_options.h"

// Every local user can read a process's arguments (/proc/<pid>/cmdline, ps) while it runs: the values of
// the secret options are overwritten in place once copied.
void HideSecretValues(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--pfx-password" || option == "--pin" || option == "--pac" || option == "--login-secret" ||
        option == "--soft-secret" || option == "--db-password") {
      std::memset(argv[i + 1], 0, std::strlen(argv[i + 1]));
    }
  }
}

int main(int argc, char** argv) {
  using namespace telvano::setup;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  HideSecretValues(argc, argv);
  std::string error;
  const auto options = ParseSetupArguments(arguments, error);
  if (!options) {
    std::cerr << "telvano-setup: " << error << "\n\n" << UsageText();
    // A monitoring system reads 2 as critical: a wrong status check is "unknown" to it.
    return std::find(arguments.begin(), arguments.end(), "--status") != arguments.end() ? 3 : 2;
  }
  if (options->help) {
    std::cout << UsageText();
    return 0;
  }
  return RunSetup(*options, std::cout, std::cerr);
}
