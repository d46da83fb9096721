#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "core/configuration.h"
#include "core/working_state.h"
#include "invoice/print_journal.h"
#include "invoice/tform_invoice.h"
#include "pfr-sim/pfr_simulator.h"
#include "platform/clock.h"
#include "sdc/tax_groups.h"
#include "sdc/tform_http.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace telvano::cmd::testing {

// The whole invoice road as the program wires it: exchange folders, a real database, an LPFR simulator whose
// PIN is already entered and whose clock stands at a chosen instant, TFormInvoice with the real printer, and
// the tax groups loaded from the simulator. The program's own clock stands at 2024-03-01 08:15:02 +01:00.
class InvoiceRoad {
 public:
  explicit InvoiceRoad(std::chrono::system_clock::time_point processorTime);

  // Writes InputDir/<name> and hands it to the invoice handler.
  void Fiscalise(const std::string& name, const std::string& csvText);
  // Moves the processor's clock (the invoices' sdc_date).
  void SetProcessorTime(std::chrono::system_clock::time_point when) { m_simulator->SetTime(when); }

  std::filesystem::path In(const std::string& name) const { return m_root.Path() / "SDC_Inp" / name; }
  std::filesystem::path Out(const std::string& name) const { return m_root.Path() / "SDC_Out" / name; }

  telvano::testing::TempDir m_root;
  telvano::testing::TestDatabase m_database;
  std::unique_ptr<pfrsim::PfrSimulator> m_simulator;
  core::Configuration m_configuration;
  core::WorkingState m_workingState;
  platform::ManualClock m_clock;
  sdc::TFormHTTP m_http{m_configuration, m_workingState};
  invoice::JournalPrinter m_printer{m_configuration};
  invoice::TFormInvoice m_invoice{m_configuration, m_database.Db(), m_http, m_clock, m_printer};
  sdc::TaxGroups m_taxGroups{m_workingState, m_http, m_database.Db(), m_clock};
};

// A UTC instant from its calendar parts.
std::chrono::system_clock::time_point Utc(int year, unsigned month, unsigned day, int hour);

}  // namespace telvano::cmd::testing
