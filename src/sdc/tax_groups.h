#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/working_state.h"
#include "sdc/sdc_error.h"
#include "sdc/tform_http.h"

namespace telvano::db {
class Database;
}
namespace telvano::platform {
class Clock;
}

namespace telvano::sdc {

// The start of the failure text of a status answer whose tax rates cannot be read.
inline constexpr const char* kInvalidStatusAnswerText = "Invalid status answer / Neispravan odgovor PFR-a\n\n";

// "TaxOnNet" 0, "TaxOnTotal" 1, "AmountPerQuantity" 2, any other text (a number written as text included) -1.
int TaxCategoryTypeNumber(std::string_view text);

// The tax rates of the working processor: copied from its status answer into table tax_groups, and the
// labels of the group valid today. TFormInvoice delegates its tax-group operations here.
class TaxGroups {
 public:
  TaxGroups(const core::WorkingState& workingState, TFormHTTP& http, db::Database& database,
            const platform::Clock& clock);

  // Reads the status answer of the working processor; for a local processor refreshes the setting SDC_MRC
  // from "deviceSerialNumber"; rewrites tax_groups with one row per rate (a row the database refuses is
  // left out) and rebuilds CurrentTaxLabels. Raises SdcError when the request fails or the answer's tax
  // rates cannot be read; then the setting, the table and the list stay as they were.
  void LoadTaxGroups();

  // Fills CurrentTaxLabels with the labels of the latest group that is valid by the end of today, ordered
  // by their code form.
  void LoadCurrentTaxLabels();

  const std::vector<std::string>& CurrentTaxLabels() const { return m_currentTaxLabels; }

 private:
  const core::WorkingState& m_workingState;
  TFormHTTP& m_http;
  db::Database& m_database;
  const platform::Clock& m_clock;
  std::vector<std::string> m_currentTaxLabels;
};

}  // namespace telvano::sdc
