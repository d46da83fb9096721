#include "app/telvano_program.h"

#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "core/backup_request.h"
#include "db/schema.h"
#include "sdc/certificate_end.h"
#include "sdc/sdc_error.h"
#include "db/settings.h"
#include "invoice/test_invoice.h"
#include "app/stop_request.h"
#include "core/text_utils.h"
#include "platform/process.h"
#include "platform/stop_signals.h"

namespace telvano::app {

namespace {

// While a step of the road runs, the API's requests wait; they are answered as soon as it is over.
class RoadStep {
 public:
  explicit RoadStep(api::ApiModule& api) : m_api(api) { m_api.SetBusy(true); }
  ~RoadStep() { m_api.SetBusy(false); }
  RoadStep(const RoadStep&) = delete;
  RoadStep& operator=(const RoadStep&) = delete;

 private:
  api::ApiModule& m_api;
};

}  // namespace

TelvanoProgram::TelvanoProgram(core::Configuration configuration, platform::Clock& clock, Views views,
                               bool headless, StillBeingWrittenProbe stillBeingWritten)
    : m_clock(clock),
      m_main(std::move(configuration), clock, views.main, headless),
      m_log(m_main.Configuration(), clock,
            platform::StderrIsJournal() ? core::LogEcho::Journal : core::LogEcho::Stderr),
      m_http(m_main.Configuration(), m_main.WorkingState()),
      m_watch(m_main.Configuration(), m_main.WorkingState(), clock, m_notifier,
              [this](const std::string& text, platform::Priority priority) { AppendLog(text, priority); }),
      m_common(m_main.Configuration(), m_main.WorkingState(), m_http, m_yellowMsg),
      m_workingCertificate(m_main.WorkingState(), m_connection, m_yellowMsg),
      m_login(*this, m_main.WorkingState(), m_yellowMsg, &clock),
      m_yellowMsg(
          m_main.Configuration(), m_main.WorkingState(), clock, m_log, views.messages,
          [this] { return db::ReadSetting(Database(), db::kDbVersionKey); },
          [this] { m_main.EndCompanion(); }),
      m_printer(m_main.Configuration(), [this](const std::string& why) { AppendLog(why); }),
      m_execScript(m_main.Configuration(), m_main.WorkingState(), m_connection, m_yellowMsg, clock,
                   [this](const std::string& text, platform::Priority priority) { AppendLog(text, priority); },
                   stillBeingWritten),
      m_changePassword(m_connection, m_yellowMsg),
      m_invoiceJson(m_main.Configuration(), m_http, clock),
      m_certificate(m_main.Configuration(), m_main.WorkingState(), m_connection, m_http, m_common,
                    m_workingCertificate, m_yellowMsg,
                    {.loadTaxGroups = [this] { LoadTaxGroups(); },
                     .createTestInvoice = [this] { CreateTestInvoice(); },
                     // The backup shows and logs its own failure; the certificate goes on without it.
                     .backupDatabase = [this](const std::string& suffix) { m_execScript.BackupDatabase(suffix, false); }}),
      m_views(views) {
  m_invoiceJson.SetLog([this](const std::string& line) { AppendLog(line); });
  m_http.SetStopTest(
      StopRequest(m_main.Configuration().InputDir, m_main.Configuration().CodePage, platform::StopSignalPending,
                  [this] { return m_polling; }));
  m_http.SetTimeouts(sdc::TimeoutsFrom(m_main.Configuration()));
  if (views.requestWait != nullptr) {
    m_operatorWait = std::make_unique<OperatorRequestWait>(*views.requestWait, m_main.WorkingState());
    m_http.SetRequestWait(m_operatorWait.get());
  }
  if (!core::VerifiesProcessorServer(m_main.Configuration())) {
    AppendLog("UPOZORENJE: sertifikat servera VPFR-a se ne proverava (SdcVerifyServer) / WARNING: the VPFR's "
              "server certificate is not verified (SdcVerifyServer): anyone on the way can forge its answers");
  }
  TFormMainTELVANO::Modules modules;
  modules.messages = &m_yellowMsg;
  modules.services = this;
  modules.login = &m_login;
  modules.processCsvInvoice = [this](const std::string& name) { ProcessCsvInvoice(name); };
  modules.processCmdFile = [this](const std::string& name) { ProcessCmdFile(name); };
  // The main module logs only what went wrong with the start or a tick.
  modules.appendLog = [this](const std::string& text) { AppendLog(text, platform::Priority::Error); };
  modules.stillBeingWritten = std::move(stillBeingWritten);
  modules.prepareTick = [this] { return PrepareTick(); };
  modules.inputHeld = [this](const std::string& name) { return m_invoice && m_invoice->HoldsInput(name); };
  modules.rejectOddInput = [this](const std::string& name) { RejectOddInput(name); };
  modules.menuActions = this;
  modules.started = [this] { m_watch.Started(m_connection.get(), m_http.Timeouts()); };
  m_main.Attach(std::move(modules));
  m_api = std::make_unique<api::ApiModule>(api::ApiModule::Parts{
      m_main.Configuration(), m_main.WorkingState(), m_http, clock, m_printer, m_yellowMsg, m_main,
      [this](const std::string& line) { AppendLog(line); }, [this] { return m_connection && ReachDatabase(); }});
}

TelvanoProgram::~TelvanoProgram() {
  // The API's server stops first (nothing more is taken), the modules on the connection go next, then the
  // connection itself.
  m_api.reset();
  m_cmd.reset();
  m_taxGroups.reset();
  m_invoice.reset();
  if (m_connection) {
    try {
      m_connection->Close();
    } catch (const std::exception&) {
      // nothing useful can be done about a failing detach at exit
    }
  }
}

db::Database& TelvanoProgram::Database() {
  if (!m_connection) throw db::DbError("The database is not connected");
  return *m_connection;
}

void TelvanoProgram::LoadWorkingCertificate(const std::string& serialOrCommand) {
  m_workingCertificate.LoadWorkingCertificate(serialOrCommand);
}

std::string TelvanoProgram::WindowCaption() {
  return core::WindowCaption(m_main.WorkingState(), m_main.Configuration().ProgramVersion);
}

void TelvanoProgram::ConnectDatabase() {
  m_cmd.reset();
  m_taxGroups.reset();
  m_invoice.reset();
  m_connection = core::ConnectDatabase(m_main.Configuration());
  const core::Configuration& configuration = m_main.Configuration();
  m_invoice =
      std::make_unique<invoice::TFormInvoice>(configuration, *m_connection, m_http, m_clock, m_printer);
  m_invoice->SetLog([this](const std::string& line) { AppendLog(line); });
  // The pause that paces the POS's files does not hold the API's requests up.
  m_invoice->SetPauseWait([this](std::chrono::milliseconds pause) { m_api->ServeFor(pause); });
  m_api->Connect(*m_connection);
  m_taxGroups = std::make_unique<sdc::TaxGroups>(m_main.WorkingState(), m_http, *m_connection, m_clock);
  m_cmd = std::make_unique<cmd::TFormCmd>(configuration, m_main.WorkingState(), *m_connection, m_common,
                                          m_printer, m_main, m_clock);
  m_cmd->SetLog([this](const std::string& line) { AppendLog(line); });
}

void TelvanoProgram::ProbeDatabase() { db::ProbeDatabase(Database()); }

void TelvanoProgram::CheckAndUpgradeSchema() {
  try {
    db::CheckAndUpgradeSchema(Database());
  } catch (const std::exception& error) {
    AppendLog(error.what());
    m_yellowMsg.ShowMessageNo(3);
    throw;
  }
}

std::string TelvanoProgram::ReadSetting(const std::string& key) { return db::ReadSetting(Database(), key); }

std::vector<CertificateListRow> TelvanoProgram::ListCertificates() {
  std::vector<CertificateListRow> rows;
  for (const db::Row& row : Database().Query("select serial, sub_tin, sub_ou, env_name, ind_lpfr from "
                                             "cert_se order by sub_tin, sub_ou, ind_lpfr")) {
    rows.push_back({row["serial"].AsString(), row["sub_tin"].AsString(), row["sub_ou"].AsString(),
                    row["env_name"].AsString(), row["ind_lpfr"].AsString()});
  }
  return rows;
}

void TelvanoProgram::CheckAttention() { m_common.CheckAttention(true); }
void TelvanoProgram::CheckLpfrStatus() { m_common.CheckLpfrStatus(); }
std::string TelvanoProgram::GetProcessorUid() { return m_common.GetProcessorUid(); }
void TelvanoProgram::SendPin() { m_common.SendPin(); }
void TelvanoProgram::CheckVpfrPac() { m_common.CheckVpfrPac(); }

void TelvanoProgram::LoadTaxGroups() {
  if (!m_taxGroups) throw db::DbError("The database is not connected");
  m_taxGroups->LoadTaxGroups();
}

void TelvanoProgram::CreateTestInvoice() {
  if (!m_taxGroups) throw db::DbError("The database is not connected");
  m_taxGroups->LoadCurrentTaxLabels();
  invoice::CreateTestInvoice(m_main.Configuration(), m_clock, m_taxGroups->CurrentTaxLabels(),
                             [this](const std::string& name) { ProcessCsvInvoice(name); });
}

void TelvanoProgram::ResolveOpenInvoices() {
  if (m_invoice) m_invoice->ResolveOpenInvoices();
  m_api->ResolveOpenInvoices();
  m_invoiceJson.ResolveOpenJsonInvoices();
}

bool TelvanoProgram::PrepareTick() {
  // The API starts with the first tick of the unattended program: the start-up is over, files are taken.
  if (!m_polling && m_main.WorkingState().Unattended) m_api->Start();
  m_polling = true;
  const RoadStep step(*m_api);
  const bool reached = m_invoice && ReachDatabase();
  m_watch.Tick(reached ? m_connection.get() : nullptr, m_databaseProblem);
  m_api->NoteTick(reached, m_connection.get());
  if (!reached) return false;
  ServeBackupRequest();
  try {
    m_invoice->ResolveOpenInvoices();
    m_api->ResolveOpenInvoices();
  } catch (const std::exception& error) {
    AppendLog(std::string("Nedovršeni računi nisu provereni / The open invoices could not be checked: ") +
              error.what());
  }
  return true;
}

// The connection is checked before every tick; a lost one is opened again, and until that succeeds no file
// is taken: the POS's files wait for the database instead of failing on it.
bool TelvanoProgram::ReachDatabase() {
  db::Database& database = *m_connection;
  try {
    if (!database.ConnectionLost()) {
      database.Ping();
      return true;
    }
  } catch (const db::DbError& error) {
    if (m_databaseProblem != error.what()) {
      m_databaseProblem = error.what();
      AppendLog(std::string("Veza sa bazom je prekinuta / The database connection is lost: ") + error.what(),
                platform::Priority::Error);
    }
  }
  try {
    database.Reconnect();
  } catch (const db::DbError& error) {
    if (m_databaseProblem != error.what()) {
      m_databaseProblem = error.what();
      AppendLog(std::string("Baza podataka nije dostupna / The database is not available: ") + error.what(),
                platform::Priority::Error);
    }
    return false;
  }
  m_databaseProblem.clear();
  AppendLog("Veza sa bazom je ponovo uspostavljena / The database connection is back", platform::Priority::Information);
  return true;
}

// The operator's actions reach the database as a tick does: a lost connection is opened again first, and
// an action that still cannot reach it says so instead of starting.
bool TelvanoProgram::OperatorReachesDatabase() {
  if (m_connection && ReachDatabase()) return true;
  m_yellowMsg.ShowInfo(std::string(kDatabaseUnreachableText) +
                       (m_databaseProblem.empty() ? "The database is not connected" : m_databaseProblem));
  return false;
}

// telvano-setup --backup asks for the backup here while the program holds the database: it is taken between
// two files, with the menu's own backup, and answered beside the request.
void TelvanoProgram::ServeBackupRequest() {
  const std::string folder = m_main.Configuration().ApplDataDir;
  const std::optional<std::string> token = core::TakeBackupRequest(folder);
  if (!token) return;
  core::BackupAnswer answer{*token, true, m_execScript.BackupFileName("")};
  try {
    m_execScript.SaveBackup("");
  } catch (const std::exception& error) {
    answer.saved = false;
    answer.text = error.what();
  }
  try {
    core::WriteBackupAnswer(folder, answer);
  } catch (const std::exception& error) {
    AppendLog(std::string("Odgovor za BACKUP nije upisan / The backup's answer could not be written: ") +
              error.what());
  }
}

void TelvanoProgram::RejectOddInput(const std::string& bareName) {
  if (app::IsInvoiceName(bareName)) {
    ProcessCsvInvoice(bareName);
  } else {
    ProcessCmdFile(bareName);
  }
}

void TelvanoProgram::ShowWorkingCertificate() {
  if (!OperatorReachesDatabase()) return;
  try {
    m_certificate.ShowModal();
  } catch (const std::exception& error) {
    m_yellowMsg.ShowInfo(error.what());
  }
  // A new certificate may have become the working one.
  ShowHomeAgain();
}

void TelvanoProgram::ExportCertificateList() {
  if (!OperatorReachesDatabase()) return;
  try {
    m_certificate.ExportCertificateList();
  } catch (const std::exception& error) {
    m_yellowMsg.ShowInfo(error.what());
  }
}

void TelvanoProgram::ShowHomeAgain() {
  m_views.main.SetCaption(WindowCaption());
  m_main.ShowMenu(m_main.MenuLevel());
}
// The module that owns a window is made anew with the connection, so the window is attached each time.
void TelvanoProgram::ShowCommandWindow() {
  if (!m_cmd || m_views.cmdWindow == nullptr || !OperatorReachesDatabase()) return;
  m_cmd->AttachView(*m_views.cmdWindow, m_yellowMsg);
  m_cmd->ShowModal();
}

void TelvanoProgram::ShowInvoiceWindow() {
  if (!m_invoice || m_views.invoiceWindow == nullptr || !OperatorReachesDatabase()) return;
  m_invoice->AttachView(*m_views.invoiceWindow, m_yellowMsg, m_main.WorkingState());
  m_invoice->ShowModal();
}

void TelvanoProgram::ShowJsonInvoiceWindow() {
  if (m_views.jsonInvoiceWindow == nullptr) return;
  m_invoiceJson.AttachView(*m_views.jsonInvoiceWindow, m_yellowMsg);
  m_invoiceJson.ShowModal();
}
void TelvanoProgram::ShowChangePassword() {
  if (OperatorReachesDatabase()) m_changePassword.ShowModal();
}

void TelvanoProgram::ShowExecScript() {
  if (OperatorReachesDatabase()) m_execScript.ShowModal();
}

void TelvanoProgram::BackupDatabase() { m_execScript.BackupDatabase("", true); }

void TelvanoProgram::SaveProcessorInfo(int kind) {
  try {
    m_common.SaveProcessorInfo(kind, true);
  } catch (const std::exception& error) {
    // The request's or the file's failure, as it is: the menu stays for another try, and a file of an
    // earlier success is not taken for this one.
    AppendLog(core::OneLine(error.what()));
    m_yellowMsg.ShowInfo(std::string(error.what()) + "\n\n" + sdc::kEarlierFileStaysText);
  }
}

void TelvanoProgram::StartProgramUpdate() {
  const std::string updater = m_main.Configuration().RunTimeDir + "/Zelt";
  std::error_code error;
  if (!std::filesystem::is_regular_file(updater, error)) {
    m_yellowMsg.ShowInfo("Program za novu verziju nije instaliran / No updater is installed:\n" + updater);
    return;
  }
  // Started without a shell and without waiting: the updater takes over from here.
  if (platform::StartDetached(updater, {}) <= 0) {
    m_yellowMsg.ShowInfo("Program za novu verziju nije pokrenut / The updater could not be started:\n" + updater);
  }
}

std::string TelvanoProgram::CertificateEndText() {
  const core::WorkingState& state = m_main.WorkingState();
  if (state.WorkIsLpfr || state.WorkNotAfter.empty()) return state.WorkNotAfter;
  try {
    return sdc::TFormCommon::FormatDate(sdc::TFormCommon::ParseCertDate(state.WorkNotAfter));
  } catch (const std::exception&) {
    return state.WorkNotAfter;  // a stored text in another layout is shown as it is
  }
}

std::string TelvanoProgram::CertificateEndWarning() {
  const auto end = sdc::CertificateEndOf(m_main.WorkingState().WorkNotAfter, sdc::TodayOf(m_clock.Now()),
                                         m_main.Configuration());
  return end && end->announce ? sdc::CertificateEndWarningText(end->daysLeft) : std::string();
}

void TelvanoProgram::ProcessCsvInvoice(const std::string& bareName) {
  m_watch.NoteHandledFile();
  if (!m_invoice) return;
  const RoadStep step(*m_api);
  const auto handed = m_clock.Now();
  m_invoice->ProcessCsvInvoice(bareName);
  const invoice::InvoiceOutcome& outcome = m_invoice->LastOutcome();
  m_api->NoteFileInvoice(outcome, m_clock.Now() - handed - outcome.paused);
}

void TelvanoProgram::ProcessCmdFile(const std::string& bareName) {
  m_watch.NoteHandledFile();
  const RoadStep step(*m_api);
  if (m_cmd) m_cmd->ProcessCmdFile(bareName);
}

void TelvanoProgram::AppendLog(const std::string& text, platform::Priority priority) {
  try {
    m_log.AppendLogLine(core::kLogFileName, text, priority);
  } catch (const std::exception& error) {
    m_log.Echo(error.what(), platform::Priority::Error);
  }
}

}  // namespace telvano::app
