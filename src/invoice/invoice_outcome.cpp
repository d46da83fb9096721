#include "invoice/invoice_outcome.h"

namespace telvano::invoice {

const char* OutcomeName(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::None: return "none";
    case OutcomeKind::Signed: return "signed";
    case OutcomeKind::Refused: return "refused";
    case OutcomeKind::NotSent: return "notSent";
    case OutcomeKind::Pending: return "pending";
    case OutcomeKind::Waiting: return "waiting";
  }
  return "none";
}

}  // namespace telvano::invoice
