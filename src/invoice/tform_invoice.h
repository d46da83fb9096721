#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "core/configuration.h"
#include "db/database.h"
#include "invoice/csv_invoice.h"
#include "invoice/invoice_storage.h"
#include "invoice/print_journal.h"
#include "invoice/response_processor.h"
#include "invoice/result_files.h"
#include "platform/clock.h"
#include "sdc/tform_http.h"

namespace telvano::invoice {

// The invoice module: takes one CSV invoice file of the POS from InputDir to a fiscal receipt in OutputDir,
// or to an error file, leaving no half-stored invoice behind.
class TFormInvoice {
 public:
  TFormInvoice(const core::Configuration& configuration, db::Database& database, sdc::TFormHTTP& http,
               platform::Clock& clock, ReceiptPrinter& printer);

  // Handles InputDir/<fileName> (a bare name) completely; never raises. On success the input file is gone,
  // the result files are in OutputDir and the handler has paused; on failure the invoice's rows are gone,
  // the input file lies in ArchiveDir and OutputDir/<base>_err.txt says why.
  void ProcessCsvInvoice(const std::string& fileName);

  // The pause after n stored items: 2000 ms, 2000 ms more per full 50 items, and 20 ms per item beyond the
  // last full 50 when there are more than 20 items.
  static std::chrono::milliseconds PauseFor(std::size_t itemCount);
  void SendPause(std::size_t itemCount);

  // Whether the rows of one invoice are committed together (default) or statement by statement. Every
  // outcome the POS or the database shows is the same either way; grouping only saves commits.
  void SetGroupedStores(bool grouped) { m_groupedStores = grouped; }

  const InvoiceValueLists& Lists() const { return m_lists; }
  InvoiceStorage& Storage() { return m_storage; }
  ResponseProcessor& Responses() { return m_responses; }
  ResultFileWriter& ResultFiles() { return m_resultFiles; }

 private:
  struct Attempt {
    std::string uuid;
    bool requestWritten = false;
    bool keepJson = false;
  };

  void Fiscalise(const std::string& fileName, Attempt& attempt);
  void HandleAnswer(const std::string& fileName, const Attempt& attempt, const InvoiceOptions& options,
                    std::size_t itemCount);
  void Fail(const std::string& fileName, const Attempt& attempt, const std::string& message);
  std::string ArchivePath(const std::string& name) const { return m_configuration.ArchiveDir + "/" + name; }
  std::string InputPath(const std::string& name) const { return m_configuration.InputDir + "/" + name; }

  const core::Configuration& m_configuration;
  db::Database& m_database;
  sdc::TFormHTTP& m_http;
  platform::Clock& m_clock;
  InvoiceValueLists m_lists;
  ValueList m_processorErrorTexts;
  InvoiceStorage m_storage;
  ResultFileWriter m_resultFiles;
  ResponseProcessor m_responses;
  bool m_groupedStores = true;
};

}  // namespace telvano::invoice
