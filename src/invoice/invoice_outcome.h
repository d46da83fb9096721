#pragma once

#include <chrono>
#include <string>

namespace telvano::invoice {

// What one call of the invoice handler came to, for whoever reports on it (the API's answer, the counts).
enum class OutcomeKind {
  None,     // nothing was handled yet
  Signed,   // signed and delivered
  Refused,  // certainly not signed: the processor refused it, or the file itself is wrong
  NotSent,  // nothing reached the processor (it or the database could not be reached): safe to send again
  Pending,  // signed or perhaps signed, and not finished yet: it is resolved by itself later
  Waiting,  // not handled: an invoice of the same name is still open
};

struct InvoiceOutcome {
  OutcomeKind kind = OutcomeKind::None;
  // How long the processor took to answer the invoice request; negative when none was sent.
  std::chrono::milliseconds processorTime{-1};
  bool processorAnswered = false;  // the request got an HTTP answer (valid when one was sent)
  std::chrono::milliseconds paused{0};  // the pause after it (it came after the outcome was known)
};

// The name of an outcome as the API and the metrics spell it ("signed", "refused", …).
const char* OutcomeName(OutcomeKind kind);

// The road an invoice handler serves: the POS's exchange folder (no name, paced as the POS expects) or the
// local API (its own folders; no pause after an invoice, the next request is answered at once).
struct InvoiceRoad {
  std::string name;
  bool paced = true;
};

}  // namespace telvano::invoice
