#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "core/configuration.h"
#include "core/file_window_logic.h"
#include "core/message_service.h"
#include "core/working_state.h"
#include "db/database.h"
#include "invoice/csv_invoice.h"
#include "invoice/invoice_answer.h"
#include "invoice/invoice_completion.h"
#include "invoice/invoice_flight.h"
#include "invoice/invoice_outcome.h"
#include "invoice/invoice_recovery.h"
#include "invoice/invoice_storage.h"
#include "invoice/print_journal.h"
#include "invoice/response_processor.h"
#include "invoice/result_files.h"
#include "platform/clock.h"
#include "sdc/tform_http.h"

namespace telvano::invoice {

// The most items an invoice may have: the processor refuses more.
inline constexpr std::size_t kMaxInvoiceItems = 1000;

inline constexpr const char* kMessageFileTooLarge =
    "Fajl računa je veći od 2 MB / The invoice file is larger than 2 MB";
inline constexpr const char* kMessageTooManyItems =
    "Račun ima više od 1000 stavki / The invoice has more than 1000 items";
inline constexpr const char* kMessageNameTooLong =
    "Naziv fajla je predugačak za rezultate / The file name is too long for the result files";
// What the POS finds in <base>_err.txt while the processor has not told whether it signed the invoice.
inline constexpr const char* kMessageOutcomeUnknown =
    "Ishod računa još nije poznat: PFR nije potvrdio da li je račun potpisan. TELVANO to proverava sam i "
    "upisaće rezultat čim PFR odgovori. Ne šaljite račun ponovo! / The outcome of the invoice is not known yet: "
    "the processor has not confirmed whether it signed it. TELVANO keeps asking by itself and writes the "
    "result as soon as the processor answers. Do not send the invoice again!";

// The invoice window: the file waiting in InputDir and the button that fiscalises it.
inline constexpr core::FileWindowForm kInvoiceWindowForm{"FormInvoice", "FormInvoice", "Fiskalizuj račun"};
// The done text ends with this installation's output folder.
inline constexpr const char* kInvoiceDoneText = "Invoice je obrađen!\n\nOdgovor je u ";
// Shown instead when the database could not be reached: nothing was done and the file waits.
inline constexpr const char* kInvoiceWaitsForDatabaseText =
    "Račun nije obrađen: baza podataka nije dostupna / The invoice was not handled: the database is not "
    "available\n\n";

// The invoice module: takes one CSV invoice file of the POS from InputDir to a fiscal receipt in OutputDir,
// or to an error file, leaving no half-stored invoice behind and never losing or repeating a signed one.
class TFormInvoice {
 public:
  // `road` names the road whose invoices this module handles and recovers (see InvoiceRoad): its folders are
  // those of `configuration`.
  TFormInvoice(const core::Configuration& configuration, db::Database& database, sdc::TFormHTTP& http,
               platform::Clock& clock, ReceiptPrinter& printer, InvoiceRoad road = {});

  // Handles InputDir/<fileName> (a bare name); never raises. On success the input file is gone, the result
  // files are in OutputDir and the handler has paused. When the processor certainly did not sign, the
  // invoice's rows are gone, the input file lies in ArchiveDir and OutputDir/<base>_err.txt says why. When
  // it may have signed and cannot say so now, the invoice stays open (see ResolveOpenInvoices), its input
  // waits and <base>_err.txt says that the outcome is being resolved. When the database cannot be reached,
  // nothing is done, the input waits and the reason is returned; otherwise nothing is returned.
  std::optional<std::string> ProcessCsvInvoice(const std::string& fileName);
  // What the last ProcessCsvInvoice came to.
  const InvoiceOutcome& LastOutcome() const { return m_outcome; }

  // Finishes the invoices that an earlier tick or run left open; raises db::DbError when they cannot be read.
  void ResolveOpenInvoices() { m_recovery.ResolveOpenInvoices(); }
  // True when the input file of this name belongs to an open invoice: it is not handed over again.
  bool HoldsInput(const std::string& bareName) const { return m_recovery.HoldsInput(bareName); }

  // The pause after n stored items: 2000 ms, 2000 ms more per full 50 items, and 20 ms per item beyond the
  // last full 50 when there are more than 20 items.
  static std::chrono::milliseconds PauseFor(std::size_t itemCount);
  void SendPause(std::size_t itemCount);
  // How the pause is waited: the clock's sleep unless the program waits in its own way (serving the API's
  // requests meanwhile).
  using PauseWait = std::function<void(std::chrono::milliseconds)>;
  void SetPauseWait(PauseWait wait) { m_pauseWait = std::move(wait); }

  // Whether the rows of one invoice are committed together (default) or statement by statement. Every
  // outcome the POS or the database shows is the same either way; grouping only saves commits.
  void SetGroupedStores(bool grouped) { m_groupedStores = grouped; }
  // Where every outcome other than plain success is written, one line each.
  void SetLog(InvoiceLog log);

  // The invoice window. FormShow sets the caption of the working state, finishes the invoices still open (as
  // a poll tick does) and shows the first waiting INV_*.csv whose invoice is not open; Panel1Click runs
  // ProcessCsvInvoice on it and shows kInvoiceDoneText, whatever the outcome (it is in the result files), or
  // kInvoiceWaitsForDatabaseText when the database could not be reached.
  // Attach before ShowModal; attaching again is allowed at any time.
  void AttachView(core::FileWindowView& view, core::MessageService& messages,
                  const core::WorkingState& workingState);
  void ShowModal() { m_window.ShowModal(); }
  void FormShow() { m_window.FormShow(); }
  void Panel1Click() { m_window.Panel1Click(); }
  // The window has gone. The value lists live as long as the module, so nothing else is to be freed.
  void FormDestroy() { m_window.FormDestroy(); }
  core::FileWindowLogic& Window() { return m_window; }

  const InvoiceValueLists& Lists() const { return m_lists; }
  InvoiceStorage& Storage() { return m_storage; }
  ResponseProcessor& Responses() { return m_responses; }
  ResultFileWriter& ResultFiles() { return m_resultFiles; }
  InvoiceFlight& Flight() { return m_flight; }

 private:
  struct Attempt {
    FlightRecord record;
    bool stored = false;
    bool requestWritten = false;
    std::string request;  // the processor's request, read back from the stored rows
  };

  void Fiscalise(const std::string& fileName, Attempt& attempt);
  // Reads the input, stores its rows and its row in flight (state Sent) and reads the request back, in the
  // caller's transaction when it holds one.
  void Prepare(const InvoiceFileName& name, Attempt& attempt);
  void WriteRequest(Attempt& attempt);
  void SendAndResolve(Attempt& attempt);
  InvoiceAnswer ResolveUnknown(const FlightRecord& record, InvoiceAnswer answer);
  void Hold(const Attempt& attempt, const std::string& failureText);
  void Fail(const std::string& fileName, const Attempt& attempt, const std::string& message);
  void CheckNamesFit(const std::string& fileName) const;
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
  InvoiceFlight m_flight;
  InvoiceCompletion m_completion;
  InvoiceRecovery m_recovery;
  bool m_groupedStores = true;
  bool m_paced = true;
  PauseWait m_pauseWait;
  InvoiceOutcome m_outcome;
  core::FileWindowLogic m_window;  // last: it goes first, detaching the window before the rest goes
};

}  // namespace telvano::invoice
