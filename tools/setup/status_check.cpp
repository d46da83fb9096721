#include "status_check.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>

#include "core/text_utils.h"
#include "core/working_certificate.h"
#include "database_server.h"
#include "db/database.h"
#include "installation.h"
#include "invoice/open_invoices.h"
#include "maintenance/tform_exec_script.h"
#include "platform/directory_listing.h"
#include "platform/single_instance_lock.h"
#include "sdc/tform_http.h"

namespace telvano::setup {

namespace {

using namespace std::chrono_literals;

// The certificate lookup's plain box has no one to show it to here.
class QuietMessages final : public core::MessageService {
 public:
  void ShowMessageNo(int) override {}
  void ShowMessageText(int, const std::string&, const std::string&) override {}
  void ShowProcessorError(const std::string&) override {}
  void ShowInfo(const std::string&) override {}
};

std::optional<std::chrono::system_clock::time_point> ModifiedAt(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec);
}

FolderSpace SpaceOf(const std::string& folder) {
  FolderSpace space{folder, false, 0};
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) == 0) {
    space.known = true;
    space.freeBytes = static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
  }
  return space;
}

// The working certificate as the program would take it: the serial it last worked with, else the only one.
void FillCertificate(std::unique_ptr<db::Database>& connection, const std::string& serial, core::ServiceReport& report) {
  core::WorkingState state;
  QuietMessages quiet;
  core::WorkingCertificate certificate(state, connection, quiet);
  if (serial.empty() || !certificate.LoadWorkingCertificate(serial) || state.WorkSerial.empty()) {
    certificate.LoadWorkingCertificate("");
  }
  report.serial = state.WorkSerial;
  report.lpfr = state.WorkIsLpfr;
  report.environment = state.WorkEnv;
  report.url = state.WorkUrl;
  report.notAfter = state.WorkNotAfter;
}

// What the database itself says while no program holds it.
core::ServiceReport ReportFromDatabase(const core::Configuration& configuration, const std::string& lastSerial,
                                       std::chrono::system_clock::time_point now) {
  core::ServiceReport report;
  report.written = now;
  report.version = configuration.ProgramVersion;
  try {
    std::unique_ptr<db::Database> connection = core::ConnectDatabase(configuration);
    FillCertificate(connection, lastSerial, report);
    report.openInvoices = invoice::ListOpenInvoices(*connection, configuration, now);
    report.lastSigned = invoice::LastSignedTime(*connection, now);
    connection->Close();
  } catch (const std::exception& error) {
    report.databaseReachable = false;
    report.databaseProblem = core::OneLine(error.what());
  }
  return report;
}

// One status request to the working processor, given a few seconds; any answer means it is there (without
// the PAC a virtual processor refuses, and that is an answer too).
void CheckProcessor(const core::Configuration& configuration, const core::ServiceReport& report, StatusFacts& facts) {
  if (report.serial.empty() || report.url.empty()) return;
  core::WorkingState state;
  state.WorkSerial = report.serial;
  state.WorkIsLpfr = report.lpfr;
  state.WorkUrl = report.url;
  sdc::TFormHTTP http(configuration, state);
  sdc::TransportTimeouts timeouts;
  timeouts.connect = 3s;
  timeouts.read = 5s;
  timeouts.total = 5s;
  http.SetTimeouts(timeouts);
  const auto start = std::chrono::steady_clock::now();
  http.CallWorking(sdc::kOpStatus, "", "");
  facts.processorChecked = true;
  facts.processorTime = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  facts.processorCode = http.ResponseCode;
  facts.processorError = core::OneLine(http.ErrorText);
}

void LookAtInputs(const core::Configuration& configuration, StatusFacts& facts) {
  std::vector<std::string> names;
  try {
    names = platform::ListFiles(configuration.InputDir, "INV_*");
  } catch (const std::exception&) {
    return;  // the free-space check names the folder that cannot be read
  }
  facts.inputsWaiting = names.size();
  for (const std::string& name : names) {
    const auto modified = ModifiedAt(configuration.InputDir + "/" + name);
    if (modified && (!facts.oldestInput || *modified < *facts.oldestInput)) facts.oldestInput = modified;
  }
}

void LookAtBackups(const core::Configuration& configuration, StatusFacts& facts) {
  const std::string folder = core::DatabaseFolder(configuration.DB_Fullname) + "/" + maintenance::kBackupFolderName;
  std::vector<std::string> names;
  try {
    names = platform::ListFiles(folder, "*.mlf");
  } catch (const std::exception&) {
    return;
  }
  for (const std::string& name : names) {
    const auto modified = ModifiedAt(folder + "/" + name);
    if (modified && (!facts.lastBackupTime || *modified > *facts.lastBackupTime)) {
      facts.lastBackupTime = modified;
      facts.lastBackup = folder + "/" + name;
    }
  }
}

}  // namespace

const char* HealthName(Health health) {
  switch (health) {
    case Health::Ok: return "OK";
    case Health::Warning: return "WARNING";
    case Health::Critical: return "CRITICAL";
    case Health::Unknown: break;
  }
  return "UNKNOWN";
}

StatusFacts GatherStatus(const std::string& configFile, platform::Clock& clock) {
  StatusFacts facts;
  facts.now = clock.Now();
  core::Configuration configuration;
  try {
    configuration = core::LoadConfiguration(configFile);
  } catch (const std::exception& error) {
    facts.unreadable = core::OneLine(error.what()) + " (" + configFile + ")";
    return facts;
  }
  facts.version = configuration.ProgramVersion;
  facts.database = configuration.DB_Fullname;
  facts.longestTick = sdc::LongestTick(sdc::TimeoutsFrom(configuration));
  struct stat info {};
  if (::stat(configuration.ApplDataDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
      ::access(configuration.ApplDataDir.c_str(), R_OK | X_OK) != 0) {
    facts.unreadable = "the folder " + configuration.ApplDataDir + " cannot be read: " + std::strerror(errno);
    return facts;
  }
  facts.running = ProgramIsRunning(platform::InstallationLockPath(configuration.ApplDataDir));
  const std::optional<core::ServiceReport> lastReport = core::ReadServiceReport(configuration.ApplDataDir);
  if (facts.running && lastReport) {
    facts.report = lastReport;
    facts.fromProgram = true;
  } else if (!facts.running || IsServerDatabaseName(configuration.DB_Fullname)) {
    facts.report = ReportFromDatabase(configuration, lastReport ? lastReport->serial : "", facts.now);
  }
  if (facts.report) {
    facts.certificateEnd = sdc::CertificateEndOf(facts.report->notAfter, sdc::TodayOf(facts.now), configuration);
    CheckProcessor(configuration, *facts.report, facts);
  }
  LookAtInputs(configuration, facts);
  facts.exchange = SpaceOf(configuration.Exchange_Root);
  facts.data = SpaceOf(core::DatabaseFolder(configuration.DB_Fullname));
  LookAtBackups(configuration, facts);
  return facts;
}

}  // namespace telvano::setup
