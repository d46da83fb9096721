#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cmd/reports.h"
#include "core/application_control.h"
#include "core/configuration.h"
#include "core/file_window_logic.h"
#include "core/message_service.h"
#include "core/working_state.h"
#include "db/database.h"
#include "invoice/print_journal.h"
#include "platform/clock.h"
#include "sdc/tform_common.h"

namespace telvano::cmd {

// The largest command file that is read: a real one is a few lines.
inline constexpr std::size_t kMaxCommandFileBytes = 64u * 1024u;
inline constexpr const char* kCommandFileTooLargeText =
    "Komandni fajl je veći od 64 KB / The command file is larger than 64 KB";

// Texts of the response lines.
inline constexpr const char* kActiveText = "ACTIVE/AKTIVAN";
inline constexpr const char* kConnectionErrorText = "Connection error / Greška pri povezivanju";
inline constexpr const char* kNoSuchInvoiceText = "Ne postoji takav račun u bazi!";
inline constexpr const char* kUnknownCommandText = "Unknown command";
// The error line of a command line that lacks the comma and parameter (for example "HELLO-TELVANO" or an
// empty line). It ends the file like any other failure.
inline constexpr const char* kLineWithoutParameterText =
    "Command and parameter expected (COMMAND,PARAMETER) / Očekuju se komanda i parametar (KOMANDA,PARAMETAR)";
// The error line of a failure that carries no text of its own.
inline constexpr const char* kUnknownFailureText = "Unknown error / Nepoznata greška";

// The command window: the file waiting in InputDir and the button that runs it.
inline constexpr core::FileWindowForm kCmdWindowForm{"FormCmd", "FormCmd", "Izvrši CMD"};
// The done text ends with this installation's output folder.
inline constexpr const char* kCmdDoneText = "CMD je obrađen!\n\nOdgovor je u ";

// The command files of the POS: CMD_*.csv in InputDir, one command per line, answered by one response file
// OutputDir/<name without ".csv">_resp.txt (UTF-8 without byte-order mark, CR LF).
class TFormCmd {
 public:
  TFormCmd(const core::Configuration& configuration, const core::WorkingState& workingState,
           db::Database& database, sdc::TFormCommon& common, invoice::ReceiptPrinter& printer,
           core::ApplicationControl& application, platform::Clock& clock);

  // Runs the command file `bareName` (no folder) of InputDir line by line. The first failing line ends the
  // file with its error text as the last response line; the command file is then deleted and the response
  // written all the same. STOP-TELVANO deletes the file, writes the stop notice, asks the program to end and
  // answers nothing. Raises only when the response file itself cannot be written.
  void ProcessCmdFile(const std::string& bareName);

  // Where a command file that fails leaves its one log line (the error text it was answered with).
  void SetLog(std::function<void(const std::string& line)> log) { m_log = std::move(log); }

  // The response file's name for a command file's name: "CMD_0001.csv" gives "CMD_0001_resp.txt".
  static std::string ResponseFileName(const std::string& bareName);

  // The command window. FormShow sets the caption of the working state and shows the first waiting
  // CMD_*.csv; Panel1Click runs ProcessCmdFile on it and shows kCmdDoneText, or the reason when the response
  // file could not be written. Attach before ShowModal; attaching again is allowed at any time.
  void AttachView(core::FileWindowView& view, core::MessageService& messages) { m_window.Attach(view, messages); }
  void ShowModal() { m_window.ShowModal(); }
  void FormShow() { m_window.FormShow(); }
  void Panel1Click() { m_window.Panel1Click(); }
  void FormDestroy() { m_window.FormDestroy(); }
  core::FileWindowLogic& Window() { return m_window; }

 private:
  using Fields = std::vector<std::string>;
  using Response = std::vector<Fields>;

  // Runs one command; returns false for STOP-TELVANO (nothing after it runs and nothing is answered).
  bool RunLine(const std::string& line, const std::string& inputPath, Response& response);
  void RunCommand(const std::string& command, const std::string& parameter, Response& response);

  Fields HelloPfr();
  void GetTaxGroups(const std::string& parameter, Response& response);
  void GetBusinessUnit(Response& response);
  void GetProcessor(Response& response);
  void Reprint(const std::string& parameter, Response& response);
  void StopTelvano(const std::string& inputPath);
  std::string TimeStamp() const;
  void WriteResponse(const std::string& path, const Response& response) const;
  void LogFailure(const std::string& bareName, const std::string& text) const;

  const core::Configuration& m_configuration;
  const core::WorkingState& m_workingState;
  db::Database& m_database;
  sdc::TFormCommon& m_common;
  invoice::ReceiptPrinter& m_printer;
  core::ApplicationControl& m_application;
  platform::Clock& m_clock;
  Reports m_reports;
  std::function<void(const std::string& line)> m_log;
  core::FileWindowLogic m_window;  // last: it goes first, detaching the window before the rest goes
};

}  // namespace telvano::cmd
