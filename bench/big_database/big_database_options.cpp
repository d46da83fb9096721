#include "big_database_options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

#ifndef TELVANO_BIG_DATABASE_FOLDER
#define TELVANO_BIG_DATABASE_FOLDER "big-database"
#endif

namespace telvano::bench {

namespace {

void Usage() {
  std::printf(
      "Usage: bench_big_database [options] [invoices]\n"
      "  --sizes=0,100000,1000000  stored invoices of each database\n"
      "  --invoices=50             measured invoices per database (also the bare number)\n"
      "  --report-runs=5           runs of each report\n"
      "  --per-month=30000         invoices of each filled month (the report month holds that many)\n"
      "  --batch=10000             invoices per transaction while filling; 0: one transaction\n"
      "  --folder=DIR              scratch folder of the filled databases (default: $TELVANO_BIG_DB_DIR,\n"
      "                            else " TELVANO_BIG_DATABASE_FOLDER
      ")\n"
      "  --refill                  fill the databases anew even when a filled file exists\n"
      "  --plans                   print the access plans of the report queries\n");
}

std::vector<std::int64_t> ParseList(const std::string& text) {
  std::vector<std::int64_t> values;
  std::stringstream stream(text);
  for (std::string item; std::getline(stream, item, ',');) values.push_back(std::stoll(item));
  return values;
}

}  // namespace

Options ParseOptions(int argc, char** argv) {
  Options options;
  if (const char* folder = std::getenv("TELVANO_BIG_DB_DIR"); folder && *folder) options.folder = folder;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const auto value = [&](const char* name) -> std::optional<std::string> {
      const std::string prefix = std::string(name) + "=";
      if (argument.rfind(prefix, 0) == 0) return argument.substr(prefix.size());
      return std::nullopt;
    };
    if (argument == "--help" || argument == "-h") {
      Usage();
      std::exit(0);
    } else if (auto v = value("--sizes")) {
      options.sizes = ParseList(*v);
    } else if (auto v = value("--invoices")) {
      options.invoices = std::max(1, std::stoi(*v));
    } else if (auto v = value("--report-runs")) {
      options.reportRuns = std::max(1, std::stoi(*v));
    } else if (auto v = value("--per-month")) {
      options.perMonth = std::max<std::int64_t>(1, std::stoll(*v));
    } else if (auto v = value("--batch")) {
      options.batch = std::max<std::int64_t>(0, std::stoll(*v));
    } else if (auto v = value("--folder")) {
      options.folder = *v;
    } else if (argument == "--refill") {
      options.refill = true;
    } else if (argument == "--plans") {
      options.plans = true;
    } else if (!argument.empty() && std::all_of(argument.begin(), argument.end(), ::isdigit)) {
      options.invoices = std::max(1, std::stoi(argument));
    } else {
      std::fprintf(stderr, "bench_big_database: unknown argument %s\n", argument.c_str());
      Usage();
      std::exit(2);
    }
  }
  if (options.folder.empty()) options.folder = TELVANO_BIG_DATABASE_FOLDER;
  return options;
}

}  // namespace telvano::bench
