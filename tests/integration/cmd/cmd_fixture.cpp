#include "cmd_fixture.h"

namespace telvano::cmd::testing {

namespace fs = std::filesystem;

CmdFixture::CmdFixture() : m_simulator(std::make_unique<pfrsim::PfrSimulator>(pfrsim::SimOptions{})) {
  m_simulator->Start();
  for (const char* folder : {"SDC_Inp", "SDC_Out", "Archive", "RunTime", "Logs", "Print"}) {
    fs::create_directories(m_root.Path() / folder);
  }
  m_configuration.InputDir = m_root / "SDC_Inp";
  m_configuration.OutputDir = m_root / "SDC_Out";
  m_configuration.ArchiveDir = m_root / "Archive";
  m_configuration.RunTimeDir = m_root / "RunTime";
  m_configuration.LogsDir = m_root / "Logs";
  m_configuration.PrintFileDir = m_root / "Print";
  m_configuration.CodePage = "windows-1250";
  m_workingState.WorkSerial = "YJLQTEQR";
  m_workingState.WorkUrl = m_simulator->BaseUrl();
  m_workingState.WorkIsLpfr = true;
  m_workingState.WorkPin = "1234";
  m_workingState.WorkEnv = "DEV";
  // One answered request proves the simulator's accept loop runs; stopping it before that point would hang.
  for (int attempt = 0; attempt < 100 && m_http.ResponseCode != 200; ++attempt) {
    m_http.CallLPFR(sdc::kOpAttention, "", "");
  }
  m_simulator->ClearRequests();
}

std::string CmdFixture::RunFile(const std::string& name, const std::string& bytes) {
  telvano::testing::WriteFileBytes(In(name), bytes);
  m_cmd.ProcessCmdFile(name);
  const fs::path response = Out(TFormCmd::ResponseFileName(name));
  return fs::exists(response) ? telvano::testing::ReadFileBytes(response) : std::string("<none>");
}

}  // namespace telvano::cmd::testing
