// The cost of keeping a one-item invoice safe: ProcessCsvInvoice from the POS's file to the result files,
// against the in-process simulator, the embedded database with forced writes and the pause after each
// invoice taken by a manual clock. Prints the median and best time of one invoice, then what one invoice
// asks of the database and the disk: transactions started, explicit flushes (fsync, fdatasync, syncfs,
// sync_file_range) and forced page writes. bench/durability/compare.sh builds this same file against an
// older tree to compare the two side by side.
// Arguments: timed invoices (default 30), counted invoices (default 10).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
#include "sync_counter.h"

namespace {

using namespace telvano;
namespace fs = std::filesystem;

constexpr const char* kOneItemInvoice =
    "BLOCK_ITEMS\r\n1234567100001,\"Artikal\",12.5,2,kom,25,Ђ\r\nE-O-B\r\nBLOCK_PAYMENTS\r\nCash,,25\r\nE-O-B\r\n"
    "BLOCK_OTHERS\r\ncashier,Pera\r\ninvoiceNumber,B-1\r\nE-O-B\r\n";

// The exchange folders, the database and the module, as the program has them.
class Road {
 public:
  explicit Road(const fs::path& root)
      : m_configuration(bench::ExchangeConfiguration(root)),
        m_database(db::Database::Create(db::Database::Options::For((root / "bench.fdb").string()))),
        m_processor(m_configuration) {
    db::CreateSchema(*m_database);
    m_module = std::make_unique<invoice::TFormInvoice>(m_configuration, *m_database, *m_processor.http, m_clock,
                                                       m_printer);
  }

  // One invoice from its file to its results; false when it was not signed and delivered.
  bool Fiscalise() {
    const std::string name = "INV_NS_" + std::to_string(++m_serial) + ".csv";
    std::ofstream(m_configuration.InputDir + "/" + name, std::ios::binary) << kOneItemInvoice;
    m_module->ProcessCsvInvoice(name);
    return fs::exists(m_configuration.OutputDir + "/" + name.substr(0, name.size() - 4) + "_basic.csv");
  }

  // What one statement that reads only costs the disk when it runs on its own (outside any transaction).
  bench::SyncCounts CountOneRead(int reads) {
    bench::StartCountingSyncs();
    for (int i = 0; i < reads; ++i) m_database->QueryFirst("select 1 from rdb$database");
    return bench::StopCountingSyncs();
  }

  long NextTransaction() {
    const auto row = m_database->QueryFirst("select mon$next_transaction as n from mon$database");
    return row ? static_cast<long>((*row)["n"].AsInt64()) : 0;
  }

 private:
  core::Configuration m_configuration;
  std::unique_ptr<db::Database> m_database;
  bench::SimulatedProcessor m_processor;
  platform::ManualClock m_clock;  // the pause after each invoice takes no time
  bench::NoPrinter m_printer;
  std::unique_ptr<invoice::TFormInvoice> m_module;
  int m_serial = 0;
};

int Argument(int argc, char** argv, int index, int fallback) {
  return argc > index ? std::max(1, std::atoi(argv[index])) : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const int timed = Argument(argc, argv, 1, 30);
  const int counted = Argument(argc, argv, 2, 10);
  const fs::path root = fs::temp_directory_path() / ("telvano-bench-durability-" + std::to_string(std::random_device()()));
  int status = 0;
  {
    Road road(root);
    std::vector<double> times;
    for (int run = 0; run <= timed && status == 0; ++run) {
      const auto start = std::chrono::steady_clock::now();
      if (!road.Fiscalise()) status = 1;
      const auto end = std::chrono::steady_clock::now();
      if (run > 0) times.push_back(std::chrono::duration<double, std::milli>(end - start).count());  // warm-up
    }
    const long firstTransaction = road.NextTransaction();
    bench::StartCountingSyncs();
    for (int run = 0; run < counted && status == 0; ++run) {
      if (!road.Fiscalise()) status = 1;
    }
    const bench::SyncCounts syncs = bench::StopCountingSyncs();
    // The query that reads the counter starts a transaction of its own.
    const long transactions = road.NextTransaction() - firstTransaction - 1;
    if (status != 0) {
      std::fprintf(stderr, "an invoice was not fiscalised\n");
    } else {
      std::sort(times.begin(), times.end());
      std::printf("one-item invoice: median %.2f ms, best %.2f ms (%d invoices)\n", times[times.size() / 2],
                  times.front(), timed);
      std::printf("per invoice: %.1f transactions, %.1f flushes, %.1f forced page writes (%d invoices)\n",
                  double(transactions) / counted, double(syncs.flushes) / counted,
                  double(syncs.forcedWrites) / counted, counted);
      const bench::SyncCounts read = road.CountOneRead(counted);
      std::printf("a read on its own: %.1f forced page writes\n", double(read.forcedWrites) / counted);
    }
  }
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return status;
}
