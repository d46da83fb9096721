#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>

#include "invoice/invoice_completion.h"
#include "invoice/invoice_flight.h"
#include "platform/clock.h"
#include "sdc/tform_http.h"

namespace telvano::invoice {

// Finishes what an earlier tick or an earlier run left open: an invoice prepared but never sent is undone
// (its input, still waiting, is fiscalised anew); one that may have been signed is completed from its saved
// answer, or from the answer the processor gives for its request id; the processor's "not found" alone
// undoes it. While the outcome of an invoice is unknown its input is held: it is neither answered nor sent
// again. It finishes the invoices of its own road only; an input named like another road's open invoice is
// held as well.
class InvoiceRecovery {
 public:
  InvoiceRecovery(InvoiceFlight& flight, InvoiceCompletion& completion, sdc::TFormHTTP& http, platform::Clock& clock);

  // One pass over the open invoices, oldest first. An invoice that has to wait is tried again after a pause
  // that grows from 2 s to 60 s; once the processor does not answer at all, the rest waits for the next
  // pass. Raises db::DbError when the open invoices cannot be read.
  void ResolveOpenInvoices();

  // True when the input file of this (bare) name belongs to an open invoice.
  bool HoldsInput(const std::string& bareName) const;
  void Hold(const std::string& extFilename) { m_heldNames.insert(extFilename); }
  // The processor's "not found" proves that nothing was signed only once the request can no longer arrive:
  // its connection has ended (with the program, after a crash: before this run began) and the request's
  // deadline has passed since then. Until then the invoice stays held.
  bool NotSignedIsFinal(const FlightRecord& record) const;
  std::size_t OpenCount() const { return m_heldNames.size(); }

 private:
  enum class Outcome { Finished, Waiting, ProcessorSilent };

  Outcome Resolve(FlightRecord& record);
  Outcome ResolveSent(FlightRecord& record);
  bool Due(const std::string& uuid) const;
  void Postpone(const std::string& uuid);

  struct Pause {
    std::chrono::system_clock::time_point due;
    std::chrono::seconds length{0};
  };

  InvoiceFlight& m_flight;
  InvoiceCompletion& m_completion;
  sdc::TFormHTTP& m_http;
  platform::Clock& m_clock;
  std::set<std::string> m_heldNames;
  std::map<std::string, Pause> m_pauses;
  std::chrono::system_clock::time_point m_runStart;  // a request of an earlier run ended before this
};

}  // namespace telvano::invoice
