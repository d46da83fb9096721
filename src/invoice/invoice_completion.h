#pragma once

#include <functional>
#include <string>

#include "core/configuration.h"
#include "db/database.h"
#include "invoice/invoice_flight.h"
#include "invoice/invoice_storage.h"
#include "invoice/response_processor.h"
#include "invoice/result_files.h"

namespace telvano::invoice {

// What the POS finds in <base>_err.txt when an invoice held for its outcome was not signed after all and
// no reason was kept.
inline constexpr const char* kMessageNotSigned =
    "PFR nije potpisao račun / The processor did not sign the invoice";

// Appends one line to the program's log.
using InvoiceLog = std::function<void(const std::string& line)>;

// What became of an attempt to take a signed invoice further.
enum class CompletionStep {
  Done,            // stored, delivered, the input and the work files gone
  Waiting,         // a step failed (database, a result file); it is logged and is tried again later
  AnswerMissing,   // there is no usable saved answer: the processor must be asked for it
};

// Takes a signed invoice from wherever it stands (its answer saved, stored, delivered) to done. Every step
// can be repeated: a crash or a failure at any point is finished by calling Complete again. Once signed, an
// invoice is never rolled back.
class InvoiceCompletion {
 public:
  InvoiceCompletion(const core::Configuration& configuration, db::Database& database, InvoiceFlight& flight,
                    ResponseProcessor& responses, ResultFileWriter& resultFiles, InvoiceStorage& storage);

  void SetLog(InvoiceLog log) { m_log = std::move(log); }

  CompletionStep Complete(FlightRecord& record);

  // Keeps a signed answer as the work file ArchiveDir/<uuid>_resp.json (CR LF after it), whole but not
  // flushed: the fiscal records are its durable form, and the processor keeps the signed invoice for the
  // case that a crash takes the file. A file that cannot be written is logged; nothing waits for it.
  void SaveAnswer(const std::string& uuid, const std::string& body);

  // Undoes an invoice that was certainly not signed: its rows and its row in flight go, in one commit, and
  // its work files unless they are kept.
  void Undo(const FlightRecord& record);
  // The last word on an undone invoice that was never signed. One the POS was told about (held, its error
  // file says the outcome is not known yet) takes the plain failure path: its input goes to the archive and
  // the error file says why it was not signed. So does one whose input the POS has taken away. Otherwise
  // (a crash before any answer) the waiting input is fiscalised anew; true then. An input replaced by
  // another invoice under the same name is left for the poller as the new invoice it is.
  bool ConcludeNotSigned(const FlightRecord& record);

  void Log(const std::string& line) const;

 private:
  // The answer of a signed invoice: the one in hand or its work file; empty when there is none.
  std::string AnswerOf(const FlightRecord& record);
  void Store(FlightRecord& record, const TSdcResponse& response);
  void Deliver(FlightRecord& record, const TSdcResponse& response);
  void Finish(const FlightRecord& record);
  void RemoveWorkFiles(const FlightRecord& record) const;
  void RemoveInput(const FlightRecord& record) const;
  // The input file is still the one the invoice was made of (false when gone or replaced).
  bool InputIsTheSame(const FlightRecord& record) const;
  bool InputExists(const FlightRecord& record) const;
  std::string InputPath(const FlightRecord& record) const {
    return m_configuration.InputDir + "/" + record.inputName;
  }
  std::string ArchivePath(const std::string& name) const { return m_configuration.ArchiveDir + "/" + name; }

  const core::Configuration& m_configuration;
  db::Database& m_database;
  InvoiceFlight& m_flight;
  ResponseProcessor& m_responses;
  ResultFileWriter& m_resultFiles;
  InvoiceStorage& m_storage;
  InvoiceLog m_log;
};

}  // namespace telvano::invoice
