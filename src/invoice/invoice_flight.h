#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "db/database.h"
#include "invoice/csv_invoice.h"
#include "sdc/tform_http.h"

namespace telvano::invoice {

// Where an invoice stands on its way from the POS's file to the POS's result files. Each state is durable
// before the step that depends on it begins. An invoice is stored with the state Sent, in the commit that
// holds its rows, before its request leaves. The fiscal records are the durable form of a signed answer:
// its bytes are only a work file (ArchiveDir/<uuid>_resp.json, not flushed); when a crash took that file,
// the processor is asked for the signed invoice again.
enum class FlightState : int {
  Prepared = 1,   // rows committed, nothing sent: undoing it is always safe (rows of earlier versions)
  Sent = 2,       // the request may have reached the processor: only the processor can say whether it signed
  Stored = 4,     // the signed answer is stored as fiscal records; the POS's files are still to be written
  Delivered = 5,  // the result files are written; the input and the work files are still to be removed
                  // (rows of earlier versions: the invoice is now closed right after its files are written)
};
// Done: the input is gone and the row of the invoice in flight with it.

// One invoice in flight, as the table inv_flight keeps it.
struct FlightRecord {
  std::string uuid;
  std::string inputName;    // the POS's own spelling: names the result files
  std::string extFilename;  // upper-cased, as inv_request stores it
  FlightState state = FlightState::Prepared;
  InvoiceOptions options;
  std::size_t itemCount = 0;
  bool printed = false;
  int attempts = 0;
  std::string lastError;
  sdc::ProcessorTarget processor;  // where it was sent: its outcome is asked there (empty url: the working one)
  std::string inputHash;           // of the input's bytes: a different file under the same name is not it
  // When the connection that carried the request ended; none after a crash (it ended with the program).
  std::optional<std::chrono::system_clock::time_point> closedAt;
  std::string road;  // the road it came by: empty for the POS's exchange folder, kApiRoad for the local API
  std::string answer;  // the processor's signed answer, once known in this run
};

// The road of an invoice that came through the local HTTP API: its input, results and recovery stay in the
// API's own folders, never in the POS's exchange folder.
inline constexpr const char* kApiRoad = "API";

// The durable state of the invoices in flight (table inv_flight). Statements join the caller's transaction
// when it holds one, else each commits on its own. An instance works for one road (Road()): it opens rows
// of that road; the lists, the checks by name and the count see every road.
class InvoiceFlight {
 public:
  explicit InvoiceFlight(db::Database& database, std::string road = {});

  void Open(const FlightRecord& record);
  void SetState(const std::string& uuid, FlightState state);
  void MarkPrinted(const std::string& uuid);
  // Counts a failed try and keeps its text (cut to fit) for the operator.
  void NoteFailure(const std::string& uuid, const std::string& text);
  // Keeps the moment the request's connection ended (the outcome may still be unknown).
  void NoteClosed(const std::string& uuid, std::chrono::system_clock::time_point closedAt);
  // The invoice is done: its row goes.
  void Close(const std::string& uuid);

  // Every open invoice of every road, oldest first.
  std::vector<FlightRecord> AllOpenInvoices();
  const std::string& Road() const { return m_road; }
  // True when an open invoice came from a file of this (upper-cased) name.
  bool IsOpenFor(const std::string& extFilename);
  // The number of open invoices (the operator is told before the working certificate changes).
  std::size_t OpenCount();

 private:
  db::Database& m_database;
  std::string m_road;
};

// The options as stored with an invoice in flight (a small JSON object) and back; unknown or unreadable
// members keep their defaults.
std::string OptionsText(const InvoiceOptions& options);
InvoiceOptions OptionsFromText(const std::string& text);

}  // namespace telvano::invoice
