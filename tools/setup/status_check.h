#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/configuration.h"
#include "core/service_report.h"
#include "platform/clock.h"
#include "sdc/certificate_end.h"

namespace telvano::setup {

// How the installation stands, in the exit codes of monitoring plugins.
enum class Health { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

const char* HealthName(Health health);  // "OK", "WARNING", "CRITICAL", "UNKNOWN"

// One thing that is not as it should be.
struct Finding {
  Health health = Health::Warning;
  std::string text;
};

struct FolderSpace {
  std::string folder;
  bool known = false;
  std::uint64_t freeBytes = 0;
};

// Everything the status check looked at.
struct StatusFacts {
  std::chrono::system_clock::time_point now;
  std::string version;
  std::string database;           // DB_Fullname
  bool running = false;           // a program holds the installation's lock
  std::optional<core::ServiceReport> report;  // the program's report, or what the database itself says
  bool fromProgram = false;       // the report is the running program's
  std::optional<sdc::CertificateEnd> certificateEnd;
  bool processorChecked = false;
  int processorCode = -1;         // HTTP status of the status request; -1: no answer
  std::string processorError;
  std::chrono::milliseconds processorTime{0};
  std::size_t inputsWaiting = 0;  // INV_* files in the input folder
  std::optional<std::chrono::system_clock::time_point> oldestInput;
  FolderSpace exchange;
  FolderSpace data;
  std::string lastBackup;         // the newest backup file, "" none
  std::optional<std::chrono::system_clock::time_point> lastBackupTime;
  std::chrono::seconds longestTick{0};  // a running program reports at least this often
  std::string unreadable;         // why the installation cannot be read; "" when it can
};

// The limits the check judges by (the certificate's comes with the installation: CertWarningDays).
struct StatusLimits {
  std::chrono::minutes unsignedWarning{30};  // no signature this long while invoices wait
  std::chrono::hours backupWarning{48};      // the last backup older than this
  std::uint64_t fullBelowBytes = 10u << 20;  // a folder with less room left counts as full
};

// Looks at the installation that `configFile` describes. Never raises: what cannot be read is in the facts.
StatusFacts GatherStatus(const std::string& configFile, platform::Clock& clock);

// What is wrong, the worst first.
std::vector<Finding> JudgeStatus(const StatusFacts& facts, const StatusLimits& limits);

// The worst health of the findings (Ok when there are none).
Health OverallHealth(const std::vector<Finding>& findings);

}  // namespace telvano::setup
