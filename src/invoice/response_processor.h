#pragma once

#include <string>

#include "core/configuration.h"
#include "db/database.h"
#include "invoice/result_files.h"
#include "invoice/sdc_response.h"

namespace telvano::invoice {

// Turns the saved answer of a signed invoice into fiscal records: one inv_response row, one inv_tax_items
// row per tax item, the fiscal date, number and signer stamped onto the request rows, the processor's MRC
// in the settings, and the result files for the POS.
class ResponseProcessor {
 public:
  ResponseProcessor(const core::Configuration& configuration, db::Database& database, ResultFileWriter& writer);

  // Reads ArchiveDir/<uuid>_resp.json and processes it. Raises on a missing or unreadable answer, an answer
  // without taxItems, a failed statement or a result file that cannot be written. With `oneTransaction` the
  // settings and rows of the answer are committed together after the result files were written.
  // The result files are named after `baseName`; when it is empty, after the stored ext_filename (which is
  // upper-cased, while a case-sensitive file system needs the POS's own spelling to be found again).
  void ProcessResponse(const std::string& uuid, int printerModel, const std::string& printerPort,
                       const db::Decimal& changeAmount, bool signatureLine, bool taxLabelCodes,
                       bool oneTransaction = false, const std::string& baseName = {});

 private:
  void StoreResponse(const std::string& uuid, const TSdcResponse& response, const std::string& requestNumber,
                     const std::string& itType);
  void UpdateMrc(const std::string& mrc);

  const core::Configuration& m_configuration;
  db::Database& m_database;
  ResultFileWriter& m_writer;
};

// The whole content of a file; raises std::runtime_error naming it when it cannot be read.
std::string ReadWholeFile(const std::string& path);

}  // namespace telvano::invoice
