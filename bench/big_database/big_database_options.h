#pragma once

// The command line of bench_big_database.
#include <cstdint>
#include <string>
#include <vector>

namespace telvano::bench {

struct Options {
  std::vector<std::int64_t> sizes{0, 100000, 1000000};
  int invoices = 50;
  int warmUp = 5;
  int reportRuns = 5;
  std::int64_t perMonth = 30000;
  std::int64_t batch = 10000;
  std::string folder;
  bool refill = false;
  bool plans = false;
};

// The options of the command line; --help prints the usage and ends the program, as does a wrong argument.
Options ParseOptions(int argc, char** argv);

}  // namespace telvano::bench
