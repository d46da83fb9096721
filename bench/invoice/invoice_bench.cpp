// Times one invoice from the POS file to the result files, for 1, 50 and 500 items, with the rows of an invoice
// committed statement by statement ("single") and in one transaction ("grouped"). Prints the median and the
// best time of each case in milliseconds. Argument: the number of invoices per case (default 15).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench_road.h"
#include "db/database.h"
#include "db/schema.h"
#include "invoice/tform_invoice.h"
#include "platform/clock.h"

namespace {

using namespace telvano;

std::string InvoiceText(int items) {
  std::string text = "BLOCK_ITEMS\r\n";
  for (int i = 0; i < items; ++i) {
    text += "1234567" + std::to_string(10000 + i) + ",\"Artikal broj " + std::to_string(i) + "\",12.5,2,kom,25," +
            (i % 2 ? "Ђ" : "Е") + "\r\n";
  }
  text += "E-O-B\r\nBLOCK_PAYMENTS\r\nCash,," + std::to_string(25 * items) + "\r\nE-O-B\r\n";
  text += "BLOCK_OTHERS\r\ncashier,Pera\r\ninvoiceNumber,B-1\r\nE-O-B\r\n";
  return text;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const auto root = std::filesystem::temp_directory_path() / ("telvano-bench-invoice-" + std::to_string(std::random_device()()));
  const core::Configuration configuration = bench::ExchangeConfiguration(root);
  {
    auto database = db::Database::Create(db::Database::Options::For((root / "bench.fdb").string()));
    db::CreateSchema(*database);

    bench::SimulatedProcessor processor(configuration);
    platform::ManualClock clock;  // the pause after each invoice takes no time
    bench::NoPrinter printer;
    invoice::TFormInvoice module(configuration, *database, *processor.http, clock, printer);

    int serial = 0;
    std::printf("%-6s %-8s %10s %10s\n", "items", "rows", "median ms", "best ms");
    for (int items : {1, 50, 500}) {
      const std::string text = InvoiceText(items);
      for (bool grouped : {false, true}) {
        module.SetGroupedStores(grouped);
        std::vector<double> times;
        for (int run = 0; run < runs + 1; ++run) {
          const std::string name = "INV_NS_" + std::to_string(++serial) + ".csv";
          std::ofstream(configuration.InputDir + "/" + name, std::ios::binary) << text;
          const auto start = std::chrono::steady_clock::now();
          module.ProcessCsvInvoice(name);
          const auto end = std::chrono::steady_clock::now();
          const std::string base = configuration.OutputDir + "/" + name.substr(0, name.size() - 4);
          if (!std::filesystem::exists(base + "_basic.csv")) {
            std::fprintf(stderr, "invoice %s failed\n", name.c_str());
            return 1;
          }
          if (run > 0) times.push_back(std::chrono::duration<double, std::milli>(end - start).count());  // warm-up
        }
        std::printf("%-6d %-8s %10.1f %10.1f\n", items, grouped ? "grouped" : "single", Median(times),
                    *std::min_element(times.begin(), times.end()));
      }
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return 0;
}
