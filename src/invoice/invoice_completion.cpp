#include "invoice/invoice_completion.h"

#include <filesystem>
#include <system_error>

#include "platform/content_hash.h"
#include "platform/whole_file.h"

namespace telvano::invoice {

namespace {

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
}

}  // namespace

InvoiceCompletion::InvoiceCompletion(const core::Configuration& configuration, db::Database& database,
                                     InvoiceFlight& flight, ResponseProcessor& responses,
                                     ResultFileWriter& resultFiles, InvoiceStorage& storage)
    : m_configuration(configuration),
      m_database(database),
      m_flight(flight),
      m_responses(responses),
      m_resultFiles(resultFiles),
      m_storage(storage) {}

void InvoiceCompletion::Log(const std::string& line) const {
  if (m_log) m_log(line);
}

void InvoiceCompletion::SaveAnswer(const std::string& uuid, const std::string& body) {
  try {
    platform::WriteFileWhole(ArchivePath(uuid + "_resp.json"), body + "\r\n");
  } catch (const std::exception& error) {
    Log(std::string("Radni fajl odgovora PFR-a nije upisan / The work file of the processor's answer was not "
                    "written: ") + error.what());
  }
}

std::string InvoiceCompletion::AnswerOf(const FlightRecord& record) {
  if (!record.answer.empty()) return record.answer;
  try {
    return m_responses.ReadSavedAnswerText(record.uuid);
  } catch (const std::exception&) {
    return {};
  }
}

CompletionStep InvoiceCompletion::Complete(FlightRecord& record) {
  if (record.state == FlightState::Delivered) {
    try {
      Finish(record);
      return CompletionStep::Done;
    } catch (const std::exception& error) {
      Log("Račun " + record.inputName + " je isporučen, ali nije završen / delivered but not finished: " + error.what());
      return CompletionStep::Waiting;
    }
  }
  TSdcResponse response;
  try {
    record.answer = AnswerOf(record);
    response = ParseSdcResponse(record.answer);
  } catch (const std::exception&) {
    record.answer.clear();  // unreadable: the processor is asked for it again
    return CompletionStep::AnswerMissing;
  }
  try {
    if (record.state != FlightState::Stored) Store(record, response);
  } catch (const std::exception& error) {
    Log("Potpisani račun " + record.inputName + " čeka upis u bazu / The signed invoice waits to be stored: " +
        error.what());
    return CompletionStep::Waiting;
  }
  try {
    Deliver(record, response);
    Finish(record);
  } catch (const std::exception& error) {
    Log("Potpisani račun " + record.inputName + " čeka isporuku / The signed invoice waits for delivery: " +
        error.what());
    try {
      m_flight.NoteFailure(record.uuid, error.what());
      // A receipt printed before the failure is not printed again, even after a restart.
      if (record.printed) m_flight.MarkPrinted(record.uuid);
    } catch (const std::exception&) {
    }
    return CompletionStep::Waiting;
  }
  return CompletionStep::Done;
}

void InvoiceCompletion::Store(FlightRecord& record, const TSdcResponse& response) {
  // The fiscal records and the mark that they exist are one commit: a crash leaves both or neither.
  db::Database::Transaction transaction(m_database);
  m_responses.StoreAnswer(record.uuid, response);
  m_flight.SetState(record.uuid, FlightState::Stored);
  transaction.Commit();
  record.state = FlightState::Stored;
}

void InvoiceCompletion::Deliver(FlightRecord& record, const TSdcResponse& response) {
  const InvoiceOptions& options = record.options;
  // An error file of an earlier try must not stand beside the results.
  m_resultFiles.RemoveErrorFile(record.inputName);
  m_resultFiles.WriteResultFiles(response, BaseName(record.inputName), options.taxLabelCodes, [&] {
    if (record.printed) return;
    // A receipt that does not print is still signed and delivered: the POS has the journal, the operator
    // can print it again. It is printed once only, however often delivery is tried.
    try {
      m_resultFiles.PrintReceipt(record.uuid, BaseName(record.inputName), options.printerModel,
                                 options.printerPort, options.changeAmount, options.signatureLine);
    } catch (const std::exception& error) {
      Log("Račun " + record.inputName + " nije odštampan / The receipt was not printed: " + error.what());
    }
    record.printed = true;
  });
}

void InvoiceCompletion::Finish(const FlightRecord& record) {
  // A file that cannot be removed does not make the invoice undone: it is fiscalised and delivered.
  RemoveInput(record);
  RemoveWorkFiles(record);
  m_flight.Close(record.uuid);
}

void InvoiceCompletion::Undo(const FlightRecord& record) {
  {
    db::Database::Transaction transaction(m_database);
    m_storage.RollbackInvoice(record.uuid);
    m_flight.Close(record.uuid);
    transaction.Commit();
  }
  if (!record.options.keepJson) RemoveQuietly(ArchivePath(record.uuid + "_req.json"));
}

bool InvoiceCompletion::InputIsTheSame(const FlightRecord& record) const {
  try {
    const std::string bytes = platform::ReadRegularFile(InputPath(record), kMaxInvoiceFileBytes);
    return record.inputHash.empty() || platform::ContentHash(bytes) == record.inputHash;
  } catch (const std::exception&) {
    return false;  // gone already, or no longer a file of ours
  }
}

void InvoiceCompletion::RemoveInput(const FlightRecord& record) const {
  // The POS may have put another invoice under the same name meanwhile: that one is not done with.
  if (!InputIsTheSame(record)) {
    if (InputExists(record)) {
      Log("Fajl " + record.inputName + " je zamenjen drugim računom; on se obrađuje posebno / The input was " +
          "replaced by another invoice; that one is handled on its own");
    }
    return;
  }
  RemoveQuietly(InputPath(record));
}

bool InvoiceCompletion::ConcludeNotSigned(const FlightRecord& record) {
  const bool present = InputExists(record);
  const bool same = present && InputIsTheSame(record);
  const bool toldThePos = record.attempts > 0;
  if (same && !toldThePos) return true;
  if (same && !platform::MoveAside(InputPath(record), ArchivePath(record.inputName))) {
    Log("Račun " + record.inputName + " nije premešten u arhivu / The invoice file could not be archived");
  }
  if (present && !same) return false;  // a new invoice under the name: its own answer follows
  try {
    m_resultFiles.WriteErrorFile(record.inputName, record.lastError.empty() ? kMessageNotSigned : record.lastError);
  } catch (const std::exception& writeError) {
    Log("Fajl greške za " + record.inputName + " nije upisan / The error file could not be written: " +
        writeError.what());
  }
  return false;
}

bool InvoiceCompletion::InputExists(const FlightRecord& record) const {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(InputPath(record), error));
}

void InvoiceCompletion::RemoveWorkFiles(const FlightRecord& record) const {
  if (record.options.keepJson) return;
  RemoveQuietly(ArchivePath(record.uuid + "_req.json"));
  RemoveQuietly(ArchivePath(record.uuid + "_resp.json"));
}

}  // namespace telvano::invoice
