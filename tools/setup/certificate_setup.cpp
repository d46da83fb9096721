#include "certificate_setup.h"

#include <exception>
#include <filesystem>
#include <memory>
#include <ostream>

#include "cert/tform_certificate.h"
#include "core/configuration.h"
#include "core/headless_yellow_msg_view.h"
#include "core/log_writer.h"
#include "core/tform_yellow_msg.h"
#include "core/working_certificate.h"
#include "db/schema.h"
#include "db/settings.h"
#include "invoice/print_journal.h"
#include "invoice/test_invoice.h"
#include "invoice/tform_invoice.h"
#include "maintenance/tform_exec_script.h"
#include "platform/clock.h"
#include "platform/file_probe.h"
#include "sdc/tax_groups.h"
#include "sdc/tform_common.h"
#include "sdc/tform_http.h"

namespace telvano::setup {

namespace {

// The modules the two procedures need, wired as the program wires them, on one database connection.
class CertificateSession {
 public:
  CertificateSession(core::Configuration configuration, std::ostream& err)
      : m_configuration(std::move(configuration)),
        m_connection(core::ConnectDatabase(m_configuration)),
        m_log(m_configuration, m_clock),
        m_view(err),
        m_messages(m_configuration, m_state, m_clock, m_log, m_view,
                   [this] { return db::ReadSetting(*m_connection, db::kDbVersionKey); }),
        m_http(m_configuration, m_state),
        m_common(m_configuration, m_state, m_http, m_messages),
        m_workingCertificate(m_state, m_connection, m_messages),
        m_printer(m_configuration, [this](const std::string& why) { Log(why); }),
        m_invoice(m_configuration, *m_connection, m_http, m_clock, m_printer),
        m_taxGroups(m_state, m_http, *m_connection, m_clock),
        m_execScript(
            m_configuration, m_state, m_connection, m_messages, m_clock,
            [this](const std::string& text, platform::Priority priority) { Log(text, priority); },
            platform::IsStillBeingWritten),
        m_form(m_configuration, m_state, m_connection, m_http, m_common, m_workingCertificate, m_messages,
               Services()) {
    db::CheckAndUpgradeSchema(*m_connection);
    m_invoice.SetLog([this](const std::string& line) { Log(line); });
    m_http.SetTimeouts(sdc::TimeoutsFrom(m_configuration));
  }
  ~CertificateSession() {
    try {
      m_connection->Close();
    } catch (const std::exception&) {
      // nothing useful can be done about a failing detach at exit
    }
  }

  core::WorkingState& State() { return m_state; }
  cert::TFormCertificate& Form() { return m_form; }

 private:
  cert::CertificateServices Services() {
    cert::CertificateServices services;
    services.loadTaxGroups = [this] { m_taxGroups.LoadTaxGroups(); };
    services.createTestInvoice = [this] {
      m_taxGroups.LoadCurrentTaxLabels();
      invoice::CreateTestInvoice(m_configuration, m_clock, m_taxGroups.CurrentTaxLabels(),
                                 [this](const std::string& name) { m_invoice.ProcessCsvInvoice(name); });
    };
    // As in the original, a backup that fails (it says so itself) does not stop the procedure.
    services.backupDatabase = [this](const std::string& suffix) {
      m_execScript.BackupDatabase(suffix, false);
    };
    return services;
  }

  void Log(const std::string& text, platform::Priority priority = platform::Priority::Warning) {
    try {
      m_log.AppendLogLine(core::kLogFileName, text, priority);
    } catch (const std::exception&) {
      // the message itself has been written to stderr
    }
  }

  core::Configuration m_configuration;
  platform::SystemClock m_clock;
  core::WorkingState m_state;
  std::unique_ptr<db::Database> m_connection;
  core::LogWriter m_log;
  core::HeadlessYellowMsgView m_view;
  core::TFormYellowMsg m_messages;
  sdc::TFormHTTP m_http;
  sdc::TFormCommon m_common;
  core::WorkingCertificate m_workingCertificate;
  invoice::JournalPrinter m_printer;
  invoice::TFormInvoice m_invoice;
  sdc::TaxGroups m_taxGroups;
  maintenance::TFormExecScript m_execScript;
  cert::TFormCertificate m_form;
};

}  // namespace

bool WantsCertificate(const SetupOptions& options) {
  return !options.pfxFile.empty() || !options.registerLpfrUrl.empty();
}

bool CheckCertificateOptions(const SetupOptions& options, std::string& error) {
  const bool pfx = !options.pfxFile.empty();
  const bool lpfr = !options.registerLpfrUrl.empty();
  if (!pfx && (!options.pfxPassword.empty() || !options.pac.empty() || !options.vpfrUrl.empty())) {
    error = "--pfx-password, --pac and --url go with --import-pfx";
  } else if (!lpfr && !options.pin.empty()) {
    error = "--pin goes with --register-lpfr";
  } else if (!pfx && !lpfr && !options.developerTin.empty()) {
    error = "--developer-tin goes with --import-pfx or --register-lpfr";
  } else if (pfx && lpfr) {
    error = "--import-pfx and --register-lpfr are two separate runs";
  } else if (pfx && options.pac.empty()) {
    error = "--import-pfx needs --pac PAC (and --pfx-password PASS)";
  } else if (lpfr && (options.pin.empty() || options.developerTin.empty())) {
    error = "--register-lpfr needs --pin PIN and --developer-tin TIN";
  } else if ((pfx || lpfr) &&
             (options.force || options.loginSecret || options.softSecret ||
              !options.lpfrUrl.empty() || !options.programs.empty() || !options.dbServer.empty())) {
    error = "--import-pfx and --register-lpfr work on an existing installation, without other options";
  } else {
    return true;
  }
  return false;
}

int RunCertificateSetup(const SetupOptions& options, const std::string& configFile, std::ostream& out,
                        std::ostream& err) {
  std::error_code missing;
  if (!std::filesystem::is_regular_file(configFile, missing)) {
    err << "telvano-setup: no installation: " << configFile
        << " does not exist (create the installation first)\n";
    return 1;
  }
  try {
    std::string warnings;
    core::Configuration configuration = core::LoadConfiguration(configFile, &warnings);
    if (!warnings.empty()) err << "telvano-setup: " << warnings << "\n";
    CertificateSession session(std::move(configuration), err);
    core::WorkingState& state = session.State();
    cert::TFormCertificate& form = session.Form();
    const bool lpfr = !options.registerLpfrUrl.empty();
    state.WorkIsLpfr = lpfr;
    state.WorkPin = lpfr ? options.pin : options.pac;
    form.ShowWorkingCertificate();
    form.ConfigureCertificateForm();
    if (!options.developerTin.empty()) form.LEDeveloperTinChange(options.developerTin);
    bool done = false;
    if (lpfr) {
      form.LEOID3587Change(options.registerLpfrUrl);
      done = form.RegisterLocalProcessor();
    } else {
      form.ChoosePfxFile(options.pfxFile);
      form.SetProcessorUrlOverride(options.vpfrUrl);
      form.LEPasswordChange(options.pfxPassword);
      done = form.ImportPfxCertificate();
    }
    form.FormClose();
    if (!done) return 1;
    out << state.WorkSerial << "\n";
    return 0;
  } catch (const std::exception& error) {
    err << "telvano-setup: failed: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace telvano::setup
