#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cmd/tform_cmd.h"
#include "recorders.h"
#include "invoice/print_journal.h"
#include "platform/clock.h"
#include "sdc/tform_common.h"
#include "sdc/tform_http.h"
#include "pfr-sim/pfr_simulator.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace telvano::cmd::testing {

// A complete command module: real database, real LPFR simulator on 127.0.0.1, real exchange folders, the
// real receipt printer, a clock that stands at 2024-03-01 08:15:02 +01:00.
class CmdFixture {
 public:
  CmdFixture();

  // Writes `bytes` as InputDir/<name>, runs it and returns the response file's bytes ("<none>" when there is
  // no response file).
  std::string RunFile(const std::string& name, const std::string& bytes);

  std::filesystem::path In(const std::string& name) const { return m_root.Path() / "SDC_Inp" / name; }
  std::filesystem::path Out(const std::string& name) const { return m_root.Path() / "SDC_Out" / name; }
  std::filesystem::path Archive(const std::string& name) const { return m_root.Path() / "Archive" / name; }

  telvano::testing::TempDir m_root;
  telvano::testing::TestDatabase m_database;
  std::unique_ptr<pfrsim::PfrSimulator> m_simulator;
  core::Configuration m_configuration;
  core::WorkingState m_workingState;
  platform::ManualClock m_clock;
  RecordingMessages m_messages;
  RecordingApplication m_application;
  sdc::TFormHTTP m_http{m_configuration, m_workingState};
  sdc::TFormCommon m_common{m_configuration, m_workingState, m_http, m_messages, &m_database.Db()};
  invoice::JournalPrinter m_printer{m_configuration};
  TFormCmd m_cmd{m_configuration, m_workingState, m_database.Db(), m_common, m_printer, m_application, m_clock};
};

// The time stamp of the fixture's clock.
inline constexpr const char* kNow = "2024-03-01T08:15:02+01:00";

}  // namespace telvano::cmd::testing
