// Times the recovery a start-up runs for invoices that a crash or a lost answer left open: N invoices (default
// 100) are signed while their answers are lost and the processor cannot be asked; then a new invoice module (as
// after a restart) finishes them all in one pass. Two kinds are timed: answers saved in the archive before the
// crash and stored, but not delivered ("stored"), and answers that must be looked up by request id ("lookup").
// Argument: N.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "bench_road.h"
#include "core/configuration.h"
#include "core/working_state.h"
#include "db/database.h"
#include "db/schema.h"
#include "invoice/print_journal.h"
#include "invoice/tform_invoice.h"
#include "pfr-sim/pfr_simulator.h"
#include "platform/clock.h"
#include "sdc/tform_http.h"

namespace {

using namespace telvano;

constexpr const char* kInvoice =
    "BLOCK_ITEMS\r\n,Kafa,10,1,kom,10,Ђ\r\nE-O-B\r\nBLOCK_PAYMENTS\r\nCash,,10\r\nE-O-B\r\n"
    "BLOCK_OTHERS\r\ncashier,Pera\r\nE-O-B\r\n";

// Leaves `count` invoices open: signed, their answers lost, the processor unable to say so.
void LeaveOpen(invoice::TFormInvoice& module, pfrsim::PfrSimulator& simulator, const core::Configuration& config,
               const std::string& prefix, int count, pfrsim::Fault fault) {
  simulator.SetLookupAvailable(false);
  simulator.QueueFault("/api/v3/invoices", fault);
  for (int i = 0; i < count; ++i) {
    const std::string name = "INV_NS_" + prefix + std::to_string(i) + ".csv";
    std::ofstream(config.InputDir + "/" + name, std::ios::binary) << kInvoice;
    module.ProcessCsvInvoice(name);
  }
  simulator.SetLookupAvailable(true);
}

// True when the recovery left no invoice in flight; otherwise says how many on stderr.
bool AllResolved(db::Database& database) {
  const auto open = database.QueryFirst("select count(*) from inv_flight");
  if (!open || (*open)[0].AsInt64() != 0) {
    std::fprintf(stderr, "recovery left %lld invoices open\n", open ? static_cast<long long>((*open)[0].AsInt64()) : -1LL);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
  const auto root =
      std::filesystem::temp_directory_path() / ("telvano-bench-recovery-" + std::to_string(std::random_device()()));
  core::Configuration configuration = bench::ExchangeConfiguration(root);
  int status = 0;
  {
    auto database = db::Database::Create(db::Database::Options::For((root / "bench.fdb").string()));
    db::CreateSchema(*database);
    pfrsim::SimOptions options;
    options.pinEntered = true;
    pfrsim::PfrSimulator simulator(options);
    simulator.Start();
    core::WorkingState state;
    state.WorkUrl = simulator.BaseUrl();
    state.WorkIsLpfr = true;
    sdc::TFormHTTP http(configuration, state);
    platform::ManualClock clock;
    bench::NoPrinter printer;

    std::printf("%-8s %9s %12s %14s\n", "answers", "invoices", "recovery ms", "ms / invoice");
    const struct {
      const char* kind;
      pfrsim::Fault fault;
      bool outputBroken;
    } kinds[] = {{"lookup", pfrsim::Fault::SignedThenDropped(count), false},
                 {"stored", pfrsim::Fault::Delayed(0, 0), true}};
    const std::string savedOutput = configuration.OutputDir + ".saved";
    for (const auto& kind : kinds) {
      if (kind.outputBroken) {
        // SDC_Out is a plain file for a while: the answers are saved and stored, the results cannot be written.
        std::filesystem::rename(configuration.OutputDir, savedOutput);
        std::ofstream(configuration.OutputDir) << "not a folder";
      }
      {
        invoice::TFormInvoice before(configuration, *database, http, clock, printer);
        LeaveOpen(before, simulator, configuration, kind.kind, count, kind.fault);
      }
      if (kind.outputBroken) {
        std::filesystem::remove(configuration.OutputDir);
        std::filesystem::rename(savedOutput, configuration.OutputDir);
      }
      invoice::TFormInvoice restarted(configuration, *database, http, clock, printer);
      const auto start = std::chrono::steady_clock::now();
      restarted.ResolveOpenInvoices();
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      if (!AllResolved(*database)) status = 1;
      std::printf("%-8s %9d %12.1f %14.2f\n", kind.kind, count, ms, ms / count);
    }
    simulator.Stop();
  }
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return status;
}
