#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "invoice_request.h"
#include "sim_options.h"
#include "sim_time.h"
#include "tax_rate_table.h"

namespace telvano::pfrsim {

// What the processor's state contributes to one signature.
struct SigningContext {
  TimePoint sdcDateTime;
  std::uint32_t totalCounter = 0;            // already counting this invoice
  std::uint32_t transactionTypeCounter = 0;  // already counting this invoice
  const TaxGroup* group = nullptr;           // the group in force
  std::string requestedBy;
  std::string signedBy;
  std::string verificationBaseUrl;  // ".../v/?vl="
};

// Turns a checked request into the processor's invoice answer, members in the processor's order.
class InvoiceSigner {
 public:
  InvoiceSigner(const SimOptions& options, const SimTime& time);
  nlohmann::ordered_json Sign(const InvoiceRequest& request, const SigningContext& context) const;

 private:
  const SimOptions& m_options;
  const SimTime& m_time;
};

}  // namespace telvano::pfrsim
