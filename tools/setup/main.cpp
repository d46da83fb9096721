// telvano-setup: creates a complete TELVANO installation (see UsageText()).
#include <iostream>
#include <string>
#include <vector>

#include "installation.h"
#include "setup_options.h"

int main(int argc, char** argv) {
  using namespace telvano::setup;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseSetupArguments(arguments, error);
  if (!options) {
    std::cerr << "telvano-setup: " << error << "\n\n" << UsageText();
    return 2;
  }
  if (options->help) {
    std::cout << UsageText();
    return 0;
  }
  return RunSetup(*options, std::cout, std::cerr);
}
