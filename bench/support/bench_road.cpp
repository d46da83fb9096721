#include "bench_road.h"

namespace telvano::bench {

core::Configuration ExchangeConfiguration(const std::filesystem::path& root) {
  core::Configuration configuration;
  configuration.InputDir = (root / "SDC_Inp").string();
  configuration.OutputDir = (root / "SDC_Out").string();
  configuration.ArchiveDir = (root / "Archive").string();
  for (const auto& dir : {configuration.InputDir, configuration.OutputDir, configuration.ArchiveDir}) {
    std::filesystem::create_directories(dir);
  }
  return configuration;
}

SimulatedProcessor::SimulatedProcessor(const core::Configuration& configuration) {
  pfrsim::SimOptions options;
  options.pinEntered = true;
  simulator = std::make_unique<pfrsim::PfrSimulator>(options);
  simulator->Start();
  state.WorkUrl = simulator->BaseUrl();
  state.WorkIsLpfr = true;
  http = std::make_unique<sdc::TFormHTTP>(configuration, state);
  http->CallLPFR(sdc::kOpAttention, "", "");  // the simulator answers from here on
}

SimulatedProcessor::~SimulatedProcessor() { simulator->Stop(); }

}  // namespace telvano::bench
