#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/main_view.h"
#include "app/menu_actions.h"
#include "app/operator_request_wait.h"
#include "app/service_watch.h"
#include "app/startup_services.h"
#include "app/tform_login.h"
#include "app/tform_main_telvano.h"
#include "api/api_module.h"
#include "cert/tform_certificate.h"
#include "cmd/tform_cmd.h"
#include "core/configuration.h"
#include "core/log_writer.h"
#include "core/tform_yellow_msg.h"
#include "core/working_certificate.h"
#include "core/yellow_msg_view.h"
#include "db/database.h"
#include "invoice/print_journal.h"
#include "invoice/tform_invoice.h"
#include "invoice/tform_invoice_json.h"
#include "maintenance/tform_exec_script.h"
#include "platform/clock.h"
#include "platform/service_notify.h"
#include "sdc/tax_groups.h"
#include "sdc/tform_common.h"
#include "sdc/tform_http.h"
#include "secrets/tform_change_password.h"

namespace telvano::app {

// The exit code of a start abandoned under systemd (sysexits' EX_CONFIG): the unit does not restart it, since a
// wrong PIN tried again and again would lock the processor's card.
inline constexpr int kAbandonedStartExitCode = 78;

// The whole program without its windows: the long-lived modules created once, in the order of the
// original (main, common, login, message window, invoice, …, HTTP, commands), wired to each other and to
// the views the Qt side (or a test) provides. The modules that work on the one database connection
// (invoice, tax groups, commands) come to life right after the start-up sequence has opened it, because
// the connection object exists only from then on; they never exist before the first show either way.
// What an operator's action that needs the database shows when it cannot be reached, before the reason.
inline constexpr const char* kDatabaseUnreachableText =
    "Baza podataka nije dostupna / The database is not available\n\n";

class TelvanoProgram final : public StartupServices, public MenuActions {
 public:
  struct Views {
    MainView& main;
    core::YellowMsgView& messages;
    // The operator's file windows (none without a screen).
    core::FileWindowView* invoiceWindow = nullptr;
    core::FileWindowView* cmdWindow = nullptr;
    core::FileWindowView* jsonInvoiceWindow = nullptr;
    // Shows that the operator's window waits for the processor (none without a screen).
    sdc::RequestWait* requestWait = nullptr;
  };

  TelvanoProgram(core::Configuration configuration, platform::Clock& clock, Views views, bool headless,
                 StillBeingWrittenProbe stillBeingWritten);
  ~TelvanoProgram() override;

  TFormMainTELVANO& Main() { return m_main; }
  TFormLogin& Login() { return m_login; }
  core::TFormYellowMsg& YellowMsg() { return m_yellowMsg; }
  db::Database* Connection() { return m_connection.get(); }
  maintenance::TFormExecScript& ExecScript() { return m_execScript; }
  secrets::TFormChangePassword& ChangePassword() { return m_changePassword; }
  cert::TFormCertificate& Certificate() { return m_certificate; }
  // The local API: the event loop watches WakeFd and calls ServeApi when it is readable.
  int ApiWakeFd() const { return m_api->WakeFd(); }
  void ServeApi() { m_api->Serve(); }
  // systemd looks after the program (NOTIFY_SOCKET): it is told when the program stops, and an abandoned
  // start ends with kAbandonedStartExitCode instead of 0, so that it is not restarted into the same failure.
  bool ServiceManaged() const { return m_notifier.Enabled(); }
  void Stopping() { m_watch.Stopping(); }

  // StartupServices
  void LoadWorkingCertificate(const std::string& serialOrCommand) override;
  std::string WindowCaption() override;
  void ConnectDatabase() override;
  void ProbeDatabase() override;
  void CheckAndUpgradeSchema() override;
  std::string ReadSetting(const std::string& key) override;
  std::vector<CertificateListRow> ListCertificates() override;
  void CheckAttention() override;
  void CheckLpfrStatus() override;
  std::string GetProcessorUid() override;
  void SendPin() override;
  void CheckVpfrPac() override;
  void LoadTaxGroups() override;
  void CreateTestInvoice() override;
  void ResolveOpenInvoices() override;

  // MenuActions
  void ShowWorkingCertificate() override;
  void ExportCertificateList() override;
  void ShowCommandWindow() override;
  void ShowInvoiceWindow() override;
  void SaveProcessorInfo(int kind) override;
  void ShowJsonInvoiceWindow() override;
  void ShowChangePassword() override;
  void ShowExecScript() override;
  void BackupDatabase() override;
  void StartProgramUpdate() override;
  std::string CertificateEndText() override;
  std::string CertificateEndWarning() override;

 private:
  db::Database& Database();
  void ProcessCsvInvoice(const std::string& bareName);
  void ProcessCmdFile(const std::string& bareName);
  void AppendLog(const std::string& text, platform::Priority priority = platform::Priority::Warning);
  bool PrepareTick();
  bool ReachDatabase();
  bool OperatorReachesDatabase();
  void ShowHomeAgain();
  void RejectOddInput(const std::string& bareName);
  void ServeBackupRequest();

  platform::Clock& m_clock;
  TFormMainTELVANO m_main;
  core::LogWriter m_log;
  std::unique_ptr<db::Database> m_connection;
  sdc::TFormHTTP m_http;
  platform::ServiceNotifier m_notifier;
  ServiceWatch m_watch;
  sdc::TFormCommon m_common;
  core::WorkingCertificate m_workingCertificate;
  TFormLogin m_login;
  core::TFormYellowMsg m_yellowMsg;
  invoice::JournalPrinter m_printer;
  maintenance::TFormExecScript m_execScript;
  secrets::TFormChangePassword m_changePassword;
  invoice::TFormInvoiceJSON m_invoiceJson;
  cert::TFormCertificate m_certificate;
  Views m_views;
  std::unique_ptr<OperatorRequestWait> m_operatorWait;
  std::unique_ptr<invoice::TFormInvoice> m_invoice;
  std::unique_ptr<sdc::TaxGroups> m_taxGroups;
  std::unique_ptr<cmd::TFormCmd> m_cmd;
  std::unique_ptr<api::ApiModule> m_api;
  bool m_polling = false;  // the poller has begun its ticks
  std::string m_databaseProblem;  // the last database failure logged, so an outage is logged once
};

}  // namespace telvano::app
