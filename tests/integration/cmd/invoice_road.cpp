#include "invoice_road.h"

#include <stdexcept>

namespace telvano::cmd::testing {

namespace fs = std::filesystem;

std::chrono::system_clock::time_point Utc(int year, unsigned month, unsigned day, int hour) {
  using namespace std::chrono;
  return sys_days{std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}} + hours{hour};
}

namespace {

pfrsim::SimOptions RoadOptions(std::chrono::system_clock::time_point processorTime) {
  pfrsim::SimOptions options;
  options.pinEntered = true;
  options.fixedTime = processorTime;
  options.utcOffsetMinutes = 120;
  return options;
}

}  // namespace

InvoiceRoad::InvoiceRoad(std::chrono::system_clock::time_point processorTime)
    : m_simulator(std::make_unique<pfrsim::PfrSimulator>(RoadOptions(processorTime))) {
  m_simulator->Start();
  for (const char* folder : {"SDC_Inp", "SDC_Out", "Archive", "RunTime", "Logs"}) {
    fs::create_directories(m_root.Path() / folder);
  }
  m_configuration.InputDir = m_root / "SDC_Inp";
  m_configuration.OutputDir = m_root / "SDC_Out";
  m_configuration.ArchiveDir = m_root / "Archive";
  m_configuration.RunTimeDir = m_root / "RunTime";
  m_configuration.LogsDir = m_root / "Logs";
  m_workingState.WorkSerial = "YJLQTEQR";
  m_workingState.WorkUrl = m_simulator->BaseUrl();
  m_workingState.WorkIsLpfr = true;
  m_workingState.WorkPin = "1234";
  m_workingState.WorkEnv = "DEV";
  // Loading the tax groups is also the first answered request: the simulator's accept loop runs from here on,
  // so stopping it later cannot hang.
  std::string lastError;
  for (int attempt = 0; attempt < 50; ++attempt) {
    try {
      m_taxGroups.LoadTaxGroups();
      lastError.clear();
      break;
    } catch (const std::exception& error) {
      lastError = error.what();
    }
  }
  if (!lastError.empty()) throw std::runtime_error("tax groups not loaded: " + lastError);
  m_simulator->ClearRequests();
}

void InvoiceRoad::Fiscalise(const std::string& name, const std::string& csvText) {
  telvano::testing::WriteFileBytes(In(name), csvText);
  m_invoice.ProcessCsvInvoice(name);
  const std::string base = name.substr(0, name.size() - 4);
  if (fs::exists(Out(base + "_err.txt"))) {
    throw std::runtime_error(name + " was not fiscalised: " + telvano::testing::ReadFileBytes(Out(base + "_err.txt")));
  }
}

}  // namespace telvano::cmd::testing
