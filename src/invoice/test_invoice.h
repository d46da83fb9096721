#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/configuration.h"
#include "platform/clock.h"

namespace telvano::invoice {

// Raised before any file is written when no tax label is valid today (the item line needs one).
inline constexpr const char* kNoTaxLabelForTestInvoice =
    "No tax label valid today for the test invoice / Nema važeće poreske oznake za probni račun";

// The test file's name for the given local time: INV_TS_<yyyymmddhhnnss>.csv (a training sale).
std::string TestInvoiceFileName(const platform::LocalDateTime& localTime);

// The test file's bytes: UTF-8 with a byte-order mark, nine lines ending CR LF, one item TestArtikal of 1
// with `taxLabel`, one cash payment of 1, cashier testKasir.
std::string TestInvoiceText(const std::string& taxLabel);

// Proves the whole invoice road with the working processor: writes the one-item training sale into InputDir,
// hands it to `processCsvInvoice` (the normal invoice handler, given the bare file name), waits 2000 ms and
// then up to five times 1000 ms (all through `clock`) for OutputDir/<base>_basic.csv or <base>_err.txt,
// removes the result files again and raises std::runtime_error with the error file's text (without its
// byte-order mark and final line break) when the invoice failed. Returns normally when neither file appeared.
// The first of `currentTaxLabels` labels the item; an empty list raises kNoTaxLabelForTestInvoice before
// anything is written.
void CreateTestInvoice(const core::Configuration& configuration, platform::Clock& clock,
                       const std::vector<std::string>& currentTaxLabels,
                       const std::function<void(const std::string& bareName)>& processCsvInvoice);

}  // namespace telvano::invoice
