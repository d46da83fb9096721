#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "core/configuration.h"
#include "core/file_window_logic.h"
#include "core/message_service.h"
#include "invoice/invoice_completion.h"
#include "platform/clock.h"
#include "sdc/tform_http.h"

namespace telvano::invoice {

// The JSON invoice window: the file waiting in InputDir and the button that fiscalises it.
inline constexpr core::FileWindowForm kInvoiceJsonWindowForm{"FormInvoiceJSON", "FormInvoiceJSON",
                                                             "Fiskalizuj JSON invoice"};
// The done text ends with this installation's output folder.
inline constexpr const char* kInvoiceJsonDoneText = "Invoice JSON je obrađen!\n\nOdgovor je u ";

// The response text while the processor has not told whether it signed a JSON invoice; the request id and
// what went wrong follow on the next lines.
inline constexpr const char* kMessageJsonOutcomeUnknown =
    "Ishod računa još nije poznat: PFR nije potvrdio da li je račun potpisan. Ne šaljite račun ponovo! "
    "TELVANO pita PFR kad se prozor JSON računa ponovo otvori i upisuje njegov odgovor u ovaj fajl. / "
    "The outcome of the invoice is not known yet: the processor has not confirmed whether it signed it. Do "
    "not "
    "send the invoice again! TELVANO asks the processor whenever the JSON invoice window is opened again and "
    "writes its answer into this file.";
// The response text once the processor has said that it signed nothing under the request id.
inline constexpr const char* kMessageJsonNotSigned =
    "PFR nije potpisao račun; može se poslati ponovo / The processor did not sign the invoice; it may be "
    "sent "
    "again";

// The JSON invoice files of the POS: InputDir/INV_*.json holds a finished request of the processor's invoice
// call. It is posted unchanged and the processor's answer goes back as OutputDir/<name without
// .json>_resp.txt (UTF-8 without byte-order mark, CR LF after it): the answer's body, or the transport's
// error text when no answer came. Nothing is stored in the database and no other result file is written.
//
// Each invoice is sent with a request id of its own, so that an answer lost on the way (a time-out after
// sending, a connection cut mid-answer, a 200 that cannot be read) is asked for again (GET
// /api/v3/invoices/<id>) instead of being reported as an answer or sent twice. The id is kept durably as
// ArchiveDir/<name>.pending from before the request leaves until the outcome is known; while it is not
// known the input waits in InputDir and the response file says so.
class TFormInvoiceJSON {
 public:
  TFormInvoiceJSON(const core::Configuration& configuration, sdc::TFormHTTP& http, platform::Clock& clock);

  // Where every outcome other than a plain success is written, one line each.
  void SetLog(InvoiceLog log) { m_log = std::move(log); }

  // Handles InputDir/<name> (a bare name matching INV_*.json); never raises. Afterwards the response file
  // holds the processor's answer (signed or refused) or the reason nothing was sent, and neither InputDir
  // nor ArchiveDir holds the invoice; or the outcome is not known yet: the input waits, the response file
  // says so, and the next call (or ResolveOpenJsonInvoices) asks the processor again, never sending twice.
  void ProcessJsonInvoice(const std::string& name);

  // Asks the processor once about every JSON invoice whose outcome is still unknown, and writes what it
  // says; stops asking once the processor does not answer at all. Never raises.
  void ResolveOpenJsonInvoices();
  // True while the outcome of the JSON invoice of this name is unknown.
  bool IsOpen(const std::string& name) const;

  // "INV_NS_7.json" gives "INV_NS_7_resp.txt".
  static std::string ResponseFileName(const std::string& name);

  // The JSON invoice window. FormShow asks about the invoices still open and shows the first waiting
  // INV_*.json that is not open (the caption stays as designed); Panel1Click runs ProcessJsonInvoice on it
  // and shows kInvoiceJsonDoneText. Attach before ShowModal; attaching again is allowed at any time.
  void AttachView(core::FileWindowView& view, core::MessageService& messages) {
    m_window.Attach(view, messages);
  }
  void ShowModal() { m_window.ShowModal(); }
  void FormShow() { m_window.FormShow(); }
  void Panel1Click() { m_window.Panel1Click(); }
  void FormDestroy() { m_window.FormDestroy(); }
  core::FileWindowLogic& Window() { return m_window; }

 private:
  enum class Outcome { Done, NotSigned, Waiting, ProcessorSilent };

  void Send(const std::string& name, const std::string& bytes);
  Outcome ResolveOpen(const std::string& name, const std::vector<std::chrono::milliseconds>& waits,
                      bool tellNotSigned);
  Outcome LookUp(const std::string& name, const std::string& requestId, const sdc::ProcessorTarget& processor,
                 const std::vector<std::chrono::milliseconds>& waits, std::string& why);
  // A "not found" counts once the request can no longer arrive (see InvoiceRecovery::NotSignedIsFinal).
  bool NotSignedIsFinal(const std::string& name) const;
  bool DeliverSigned(const std::string& name, const std::string& body);
  void DeliverUnsigned(const std::string& name, const std::string& text);
  void Wait(const std::string& name, const std::string& requestId, const sdc::ProcessorTarget& processor,
            const std::string& why);
  void SetAside(const std::string& name, const std::string& reason);
  void ConsumeInput(const std::string& name);
  bool TryWriteResponse(const std::string& name, const std::string& text);
  // The request id of an open invoice ("" when its record cannot be read) and, into `why` and `processor`,
  // the reason kept with it and the processor it was sent to.
  std::string ReadRequestId(const std::string& name, std::string& why, sdc::ProcessorTarget& processor) const;
  void Close(const std::string& name);
  bool NamesFit(const std::string& name) const;
  void Log(const std::string& line) const;

  std::string InputPath(const std::string& name) const { return m_configuration.InputDir + "/" + name; }
  std::string ArchivePath(const std::string& name) const { return m_configuration.ArchiveDir + "/" + name; }
  std::string PendingPath(const std::string& name) const { return ArchivePath(name) + ".pending"; }
  std::string ResponsePath(const std::string& name) const {
    return m_configuration.OutputDir + "/" + ResponseFileName(name);
  }

  const core::Configuration& m_configuration;
  sdc::TFormHTTP& m_http;
  platform::Clock& m_clock;
  InvoiceLog m_log;
  std::map<std::string, std::chrono::system_clock::time_point> m_closedAt;  // by name, requests of this run
  std::chrono::system_clock::time_point m_runStart;
  core::FileWindowLogic m_window;  // last: it goes first, detaching the window before the rest goes
};

// The JSON invoices whose outcome is still being resolved (their records wait in the archive).
std::size_t CountOpenJsonInvoices(const core::Configuration& configuration);

// One of them: the input's name, the reason kept with its record and when the record was last written.
struct OpenJsonInvoice {
  std::string name;
  std::string reason;
  std::chrono::system_clock::time_point since;
};
// All of them, by name; none when the archive cannot be read.
std::vector<OpenJsonInvoice> ListOpenJsonInvoices(const core::Configuration& configuration);

}  // namespace telvano::invoice
