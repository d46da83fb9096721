#pragma once

#include <string>

#include "core/configuration.h"
#include "db/database.h"
#include "invoice/sdc_response.h"

namespace telvano::invoice {

// Turns the saved answer of a signed invoice into fiscal records: one inv_response row, one inv_tax_items
// row per tax item, the fiscal date, number and signer stamped onto the request rows, the processor's MRC
// in the settings, and the result files for the POS.
class ResponseProcessor {
 public:
  ResponseProcessor(const core::Configuration& configuration, db::Database& database);

  // The bytes of ArchiveDir/<uuid>_resp.json, the answer's work file. Raises when it is missing or unreadable.
  std::string ReadSavedAnswerText(const std::string& uuid) const;

  // Stores a signed answer: the MRC setting, the inv_response row, one inv_tax_items row per tax item, and
  // the fiscal date, number and signer on the request rows. The statements join the caller's transaction;
  // the caller commits them together with whatever else marks the answer as stored.
  void StoreAnswer(const std::string& uuid, const TSdcResponse& response);

 private:
  void StoreResponse(const std::string& uuid, const TSdcResponse& response, const std::string& requestNumber,
                     const std::string& itType);
  void UpdateMrc(const std::string& mrc);

  const core::Configuration& m_configuration;
  db::Database& m_database;
};

}  // namespace telvano::invoice
