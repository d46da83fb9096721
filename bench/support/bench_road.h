#pragma once

// What the benchmarks of the invoice road share: the exchange folders, a receipt printer that prints nothing,
// and the in-process processor simulator with the transport that talks to it.
#include <filesystem>
#include <memory>
#include <string>

#include "core/configuration.h"
#include "core/working_state.h"
#include "invoice/print_journal.h"
#include "pfr-sim/pfr_simulator.h"
#include "sdc/tform_http.h"

namespace telvano::bench {

class NoPrinter final : public invoice::ReceiptPrinter {
 public:
  void PrintJournal(const std::string&, const std::string&, const std::string&, const std::string&,
                    const db::Decimal&, bool) override {}
  void ReprintJournal(const std::string&) override {}
};

// A configuration whose exchange folders (SDC_Inp, SDC_Out, Archive) are below `root`, made.
core::Configuration ExchangeConfiguration(const std::filesystem::path& root);

// The simulator, started with the PIN entered, and a transport whose working processor it is.
struct SimulatedProcessor {
  explicit SimulatedProcessor(const core::Configuration& configuration);
  ~SimulatedProcessor();
  SimulatedProcessor(const SimulatedProcessor&) = delete;
  SimulatedProcessor& operator=(const SimulatedProcessor&) = delete;

  core::WorkingState state;
  std::unique_ptr<pfrsim::PfrSimulator> simulator;
  std::unique_ptr<sdc::TFormHTTP> http;
};

}  // namespace telvano::bench
