#include "invoice/tform_invoice.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "core/message_table.h"
#include "core/text_utils.h"
#include "core/working_certificate.h"
#include "invoice/csv_text.h"
#include "invoice/invoice_error.h"
#include "invoice/invoice_request.h"
#include "platform/content_hash.h"
#include "platform/whole_file.h"

namespace telvano::invoice {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kCrLf = "\r\n";
// The waits before each lookup of an answer that got lost: the POS learns the outcome within seconds, and a
// processor that is briefly busy gets time to answer.
constexpr std::chrono::milliseconds kLookupWaits[] = {0ms, 2000ms, 3000ms};

// A name the handler may join to a folder: no separator, no NUL, not "." or "..".
bool IsBareName(const std::string& name) {
  return !name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos &&
         name != "." && name != "..";
}

void RemoveQuietly(const std::string& path) {
  std::error_code ignored;
  fs::remove(path, ignored);
}


}  // namespace

TFormInvoice::TFormInvoice(const core::Configuration& configuration, db::Database& database, sdc::TFormHTTP& http,
                           platform::Clock& clock, ReceiptPrinter& printer, InvoiceRoad road)
    : m_configuration(configuration),
      m_database(database),
      m_http(http),
      m_clock(clock),
      m_storage(database),
      m_resultFiles(configuration, clock, printer),
      m_responses(configuration, database),
      m_flight(database, road.name),
      m_completion(configuration, database, m_flight, m_responses, m_resultFiles, m_storage),
      m_recovery(m_flight, m_completion, http, clock),
      m_paced(road.paced),
      m_window(configuration, "INV_*.csv", kInvoiceDoneText,
               [this](const std::string& name) {
                 if (const auto unreachable = ProcessCsvInvoice(name)) {
                   throw std::runtime_error(kInvoiceWaitsForDatabaseText + *unreachable +
                                            "\n\nFajl čeka u / The file waits in: " + m_configuration.InputDir);
                 }
               }) {
  for (const core::ProcessorErrorText& entry : core::ProcessorErrorTexts()) {
    m_processorErrorTexts.Add(std::string(entry.code), std::string(entry.text));
  }
  // What the last run or tick left open is finished before a file is offered, as before a poll tick; a file
  // whose invoice is still open is not offered (it waits for its outcome).
  m_window.SetBeforePick([this] {
    try {
      ResolveOpenInvoices();
    } catch (const std::exception& error) {
      m_completion.Log(std::string("Nedovršeni računi nisu provereni / The open invoices could not be checked: ") +
                       core::OneLine(error.what()));
    }
  });
  m_window.SetHeldTest([this](const std::string& name) {
    if (HoldsInput(name)) return true;
    try {
      return m_flight.IsOpenFor(core::UpperCaseUnicode(name));
    } catch (const std::exception&) {
      return false;  // the handler meets the database's failure itself
    }
  });
}

void TFormInvoice::AttachView(core::FileWindowView& view, core::MessageService& messages,
                              const core::WorkingState& workingState) {
  m_window.SetCaptionSource(
      [this, &workingState] { return core::WindowCaption(workingState, m_configuration.ProgramVersion); });
  m_window.Attach(view, messages);
}

void TFormInvoice::SetLog(InvoiceLog log) { m_completion.SetLog(std::move(log)); }

std::optional<std::string> TFormInvoice::ProcessCsvInvoice(const std::string& fileName) {
  Attempt attempt;
  m_outcome = {};
  try {
    Fiscalise(fileName, attempt);
  } catch (const db::DbError& error) {
    if (!error.ConnectionLost()) {
      Fail(fileName, attempt, error.what());
      return std::nullopt;
    }
    m_outcome.kind = OutcomeKind::NotSent;
    // Nothing was sent: the input waits for the database instead of being answered with its failure. Rows
    // that were committed are undone by the recovery once the database is back.
    m_completion.Log("Baza podataka nije dostupna; račun " + fileName + " čeka / The database is not available; "
                     "the invoice waits: " + core::OneLine(error.what()));
    return std::string(error.what());
  } catch (const std::exception& error) {
    Fail(fileName, attempt, error.what());
  } catch (...) {
    Fail(fileName, attempt, "Nepoznata greška / Unknown error");
  }
  return std::nullopt;
}

void TFormInvoice::Fiscalise(const std::string& fileName, Attempt& attempt) {
  const InvoiceFileName name = CheckInvoiceFileName(fileName, m_lists);
  // Grouped: the checks, the rows and the reading of the request share one transaction, committed before
  // anything is sent; a failure before that point leaves no row (the transaction ends as this function
  // unwinds, before the undo of the failure path runs).
  std::optional<db::Database::Transaction> transaction;
  if (m_groupedStores && !m_database.InTransaction()) transaction.emplace(m_database);
  // An input whose invoice is still open is neither answered nor sent again; it waits for its outcome.
  if (m_recovery.HoldsInput(fileName) || m_flight.IsOpenFor(name.extFilename)) {
    m_recovery.Hold(name.extFilename);
    m_outcome.kind = OutcomeKind::Waiting;
    return;
  }
  CheckNamesFit(fileName);
  Prepare(name, attempt);
  if (transaction) transaction->Commit();
  transaction.reset();
  WriteRequest(attempt);
  SendAndResolve(attempt);
}

void TFormInvoice::CheckNamesFit(const std::string& fileName) const {
  const std::size_t needed = BaseName(fileName).size() + std::string(ResultFileWriter::kLongestSuffix).size() +
                             platform::kTemporaryNameExtra;
  if (needed > platform::MaxFileNameLength(m_configuration.OutputDir)) throw InvoiceError(kMessageNameTooLong);
}

void TFormInvoice::Prepare(const InvoiceFileName& name, Attempt& attempt) {
  const std::string& fileName = name.fileName;
  if (m_storage.IsStored(name.extFilename)) throw InvoiceError(kMessageDuplicate);

  std::vector<std::string> lines;
  FlightRecord& record = attempt.record;
  if (name.hasCsvExtension) {
    // Opening a FIFO or device would block the one thread of the program, and a link may point anywhere:
    // only plain files are read, through the one descriptor that was checked.
    std::string bytes;
    try {
      bytes = platform::ReadRegularFile(InputPath(fileName), kMaxInvoiceFileBytes);
    } catch (const platform::NotRegularFileError&) {
      throw InvoiceError("Nije običan fajl / Not a regular file: " + fileName);
    } catch (const platform::FileTooLargeError&) {
      throw InvoiceError(kMessageFileTooLarge);
    }
    record.inputHash = platform::ContentHash(bytes);
    lines = SplitInvoiceLines(DecodeInvoiceText(bytes, m_configuration.CodePage));
  }
  {
    const ParsedInvoice parsed = ParseInvoiceLines(lines);
    lines.clear();
    if (parsed.itemLines.size() > kMaxInvoiceItems) throw InvoiceError(kMessageTooManyItems);
    record.uuid = NewInvoiceUuid();
    record.inputName = fileName;
    record.extFilename = name.extFilename;
    record.options = ReadInvoiceOptions(parsed.others);
    record.itemCount = parsed.itemLines.size();
    record.processor = m_http.WorkingTarget();
    // Marked as sent in the commit that holds its rows, before the request leaves: from then on only the
    // processor can say whether it signed (a crash before the request left costs a lookup, not a commit on
    // every invoice). The row in flight comes first: stored statement by statement, a crash after any row
    // still leaves the mark that tells the recovery to resolve them.
    record.state = FlightState::Sent;
    m_flight.Open(record);
    attempt.stored = true;
    m_storage.StoreInvoice(record.uuid, name, parsed, record.options.taxLabelCodes);
  }
  attempt.request = BuildInvoiceRequest(m_database, record.uuid, m_lists);
}

void TFormInvoice::WriteRequest(Attempt& attempt) {
  const FlightRecord& record = attempt.record;
  // Written whole or not at all: a full disk leaves no empty request behind. Not flushed: it is sent at
  // once, and after a crash the invoice is resolved by asking the processor, never by sending it again.
  platform::WriteFileWhole(ArchivePath(record.uuid + "_req.json"), attempt.request + kCrLf);
  attempt.requestWritten = true;
}

void TFormInvoice::SendAndResolve(Attempt& attempt) {
  FlightRecord& record = attempt.record;
  const auto sentAt = m_clock.Now();
  m_http.CallTarget(record.processor, sdc::kOpInvoices, ArchivePath(record.uuid + "_req.json"), record.uuid);
  record.closedAt = m_clock.Now();  // every request has a connection of its own, closed once it returns
  m_outcome.processorTime = std::chrono::duration_cast<std::chrono::milliseconds>(*record.closedAt - sentAt);
  m_outcome.processorAnswered = m_http.ResponseCode >= 1;

  InvoiceAnswer answer = ClassifyInvoiceAnswer(m_http, m_processorErrorTexts);
  // The answer is kept as a work file before anything else happens to it, an unreadable one too (it is
  // looked at when something went wrong). Not flushed: the fiscal records are the durable form of a signed
  // answer, and the processor keeps the signed invoice until they are stored (and after).
  std::string saved;
  if (m_http.ResponseCode == 200 && !answer.body.empty()) {
    saved = answer.body;
    m_completion.SaveAnswer(record.uuid, saved);
  }
  if (answer.kind == AnswerKind::Unknown) answer = ResolveUnknown(record, answer);

  switch (answer.kind) {
    case AnswerKind::Signed: {
      if (answer.body != saved) m_completion.SaveAnswer(record.uuid, answer.body);
      record.answer = answer.body;
      const CompletionStep step = m_completion.Complete(record);
      if (step == CompletionStep::Done) {
        m_outcome.kind = OutcomeKind::Signed;
        if (m_paced) SendPause(record.itemCount);
      } else {
        m_outcome.kind = OutcomeKind::Pending;
        m_recovery.Hold(record.extFilename);
      }
      return;
    }
    case AnswerKind::Unknown:
      Hold(attempt, answer.failureText);
      return;
    case AnswerKind::NotSent:
      m_outcome.kind = OutcomeKind::NotSent;
      throw InvoiceError(answer.failureText);
    case AnswerKind::Refused:
    case AnswerKind::NotSigned:
      throw InvoiceError(answer.failureText);
  }
}

InvoiceAnswer TFormInvoice::ResolveUnknown(const FlightRecord& record, InvoiceAnswer answer) {
  for (const std::chrono::milliseconds wait : kLookupWaits) {
    // A program asked to end leaves the outcome to its next start.
    if (m_http.StopRequested()) break;
    if (wait.count() > 0) m_clock.Sleep(wait);
    InvoiceAnswer lookup = LookUpSignedInvoice(m_http, record.processor, record.uuid);
    if (lookup.kind == AnswerKind::Signed) return lookup;
    if (lookup.kind == AnswerKind::NotSigned && m_recovery.NotSignedIsFinal(record)) {
      // Certainly not signed: the POS learns what went wrong with the request itself.
      lookup.failureText = answer.failureText;
      return lookup;
    }
  }
  return answer;
}

void TFormInvoice::Hold(const Attempt& attempt, const std::string& failureText) {
  const FlightRecord& record = attempt.record;
  m_outcome.kind = OutcomeKind::Pending;
  m_recovery.Hold(record.extFilename);
  try {
    m_flight.NoteFailure(record.uuid, failureText);
    if (record.closedAt) m_flight.NoteClosed(record.uuid, *record.closedAt);
  } catch (const std::exception&) {
  }
  try {
    m_resultFiles.WriteErrorFile(record.inputName, std::string(kMessageOutcomeUnknown) + kCrLf + kCrLf + failureText);
  } catch (const std::exception&) {
  }
  m_completion.Log("Račun " + record.inputName + " čeka ishod od PFR-a / The invoice waits for its outcome: " +
                   core::OneLine(failureText));
}

void TFormInvoice::Fail(const std::string& fileName, const Attempt& attempt, const std::string& message) {
  // Each step is tried on its own: one that fails must not keep the POS from learning the outcome.
  const FlightRecord& record = attempt.record;
  if (m_outcome.kind != OutcomeKind::NotSent) m_outcome.kind = OutcomeKind::Refused;
  if (attempt.stored) {
    try {
      db::Database::Transaction transaction(m_database);
      m_storage.RollbackInvoice(record.uuid);
      m_flight.Close(record.uuid);
      transaction.Commit();
    } catch (const std::exception& error) {
      // The row in flight stays: the recovery undoes the invoice once the database answers again.
      m_completion.Log("Račun " + fileName + " nije uklonjen iz baze / The invoice could not be removed from the "
                       "database: " + core::OneLine(error.what()));
    }
  }
  m_completion.Log("Račun " + fileName + " nije fiskalizovan / The invoice was not fiscalised: " + core::OneLine(message));
  if (!IsBareName(fileName)) return;  // never join such a name to a folder
  std::error_code error;
  if (fs::exists(fs::symlink_status(InputPath(fileName), error)) &&
      !platform::MoveAside(InputPath(fileName), ArchivePath(fileName))) {
    m_completion.Log("Račun " + fileName + " nije premešten u arhivu / The invoice file could not be archived");
  }
  if (attempt.requestWritten && !record.options.keepJson) RemoveQuietly(ArchivePath(record.uuid + "_req.json"));
  try {
    m_resultFiles.WriteErrorFile(fileName, message);
  } catch (const std::exception& writeError) {
    m_completion.Log("Fajl greške za " + fileName + " nije upisan / The error file could not be written: " +
                     writeError.what());
  }
}

std::chrono::milliseconds TFormInvoice::PauseFor(std::size_t itemCount) {
  std::size_t ms = 2000 + 2000 * (itemCount / 50);
  if (itemCount > 20) ms += 20 * (itemCount % 50);
  return std::chrono::milliseconds(ms);
}

void TFormInvoice::SendPause(std::size_t itemCount) {
  m_outcome.paused = PauseFor(itemCount);
  if (m_pauseWait) {
    m_pauseWait(PauseFor(itemCount));
  } else {
    m_clock.Sleep(PauseFor(itemCount));
  }
}


}  // namespace telvano::invoice
