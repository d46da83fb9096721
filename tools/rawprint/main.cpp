#include <iostream>
#include <string>
#include <vector>

#include "raw_print_sender.h"

// Ostrapo SCRIPT PORT: puts a receipt print script on the printer.
int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return telvano::rawprint::RunOstrapo(arguments, std::cerr);
}
