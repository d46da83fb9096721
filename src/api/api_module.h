#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "api/api_commands.h"
#include "api/api_folders.h"
#include "api/api_invoices.h"
#include "api/api_queue.h"
#include "api/api_server.h"
#include "api/status_board.h"
#include "cmd/tform_cmd.h"
#include "core/application_control.h"
#include "core/configuration.h"
#include "core/message_service.h"
#include "core/working_state.h"
#include "invoice/print_journal.h"
#include "invoice/tform_invoice.h"
#include "platform/clock.h"
#include "sdc/tform_common.h"
#include "sdc/tform_http.h"

namespace telvano::api {

// The local HTTP API as one module of the program: its own invoice and command modules on the program's
// connection, transport and printer but in the API's folders, the hand-over queue, the server, the status.
// Everything but the server runs on the program's one thread.
class ApiModule {
 public:
  struct Parts {
    const core::Configuration& configuration;
    const core::WorkingState& workingState;
    sdc::TFormHTTP& http;
    platform::Clock& clock;
    invoice::ReceiptPrinter& printer;
    core::MessageService& messages;
    core::ApplicationControl& application;
    std::function<void(const std::string&)> log;
    std::function<bool()> reachDatabase;  // the connection answers (reopened when it was lost)
  };

  explicit ApiModule(Parts parts);
  ~ApiModule();

  // The event loop watches it: readable while requests wait, then Serve() takes them.
  int WakeFd() const { return m_queue.WakeFd(); }

  // The modules on the connection; again after every new connection.
  void Connect(db::Database& database);
  // Finishes the API's open invoices (as the file road's recovery does) and keeps their answers.
  void ResolveOpenInvoices();
  // Starts the server when the configuration asks for it; logs why when it cannot. Once.
  void Start();
  bool Listening() const { return m_server != nullptr; }
  void Stop();

  // Answers the waiting requests one at a time, oldest first. While the road is busy with a file (its step
  // shows a window, say) it waits until the step is over.
  void Serve();
  void SetBusy(bool busy);
  // Waits `pause` (the pause after a file invoice), answering the requests that come meanwhile.
  void ServeFor(std::chrono::milliseconds pause);

  // What the status and the metrics show.
  void NoteFileInvoice(const invoice::InvoiceOutcome& outcome, std::chrono::duration<double> took);
  void NoteTick(bool databaseUp, db::Database* database);

 private:
  void Log(const std::string& line) const;
  void Drain();
  ApiAnswer Handle(const ApiRequest& request);
  void NoteCertificate();

  Parts m_parts;
  ApiFolders m_folders;
  core::Configuration m_roadConfiguration;
  sdc::TFormCommon m_common;
  std::unique_ptr<invoice::TFormInvoice> m_road;
  std::unique_ptr<cmd::TFormCmd> m_commands;
  std::unique_ptr<ApiInvoices> m_invoices;
  std::unique_ptr<ApiCommands> m_commandRoad;
  ApiQueue m_queue;
  StatusBoard m_board;
  std::unique_ptr<ApiServer> m_server;
  bool m_started = false;
  int m_busy = 0;  // steps of the road under way
  bool m_missed = false;
};

}  // namespace telvano::api
