#pragma once

#include <chrono>
#include <string>

#include "core/configuration.h"
#include "core/message_service.h"
#include "core/working_state.h"
#include "sdc/sdc_error.h"
#include "sdc/tform_http.h"

namespace telvano::db {
class Database;
}

namespace telvano::sdc {

// The kinds of processor answer SaveProcessorInfo writes for the POS.
inline constexpr int kProcessorInfoEnvironment = 1;  // <WorkSerial>_Environment.json
inline constexpr int kProcessorInfoStatus = 3;       // <WorkSerial>_Status.json

// The checks of the working processor that start-up, login, certificate dialogs, commands and the menu
// rely on. Each routine makes exactly one request and keeps no state. A failing check raises SdcError
// whose what() is the failure text; the checks show their own messages before raising.
class TFormCommon {
 public:
  // `database` is optional: none of the processor routines touch it.
  TFormCommon(const core::Configuration& configuration, const core::WorkingState& workingState, TFormHTTP& http,
              core::MessageService& messages, db::Database* database = nullptr);

  // LPFR only: raises for a failed status request (after an information box) and for the first blocking
  // general status code in the fixed order 1300, 2100, 2110, 2210, 2220, 2230, 2310, 2400, 1999 (after
  // ShowProcessorError, message = the code). Other codes (0000, 0100, 0210, 1500, 1100, 1400, …) pass.
  void CheckLpfrStatus();
  // LPFR only: sends WorkPin; the answer "0100" (with or without quotes) passes, a known processor code
  // raises with that code, anything else raises the connection error.
  void SendPin();
  // VPFR only: a status request with the PAC; 200 passes, anything else raises after message 18 (no
  // reply) or 17 (refused) and an information box.
  void CheckVpfrPac();
  // The working processor answers its attention request with 200, or this raises (after message 4 when
  // `showMessage`).
  void CheckAttention(bool showMessage);
  // The body of a 200 answer; no reply raises; any other status shows the body and returns "".
  std::string GetStatusJson();
  std::string GetEnvironmentJson();
  // "uid" of the status answer, "" on any failure (never raises).
  std::string GetProcessorUid();
  // "environmentName" of the environment answer, "" on any failure (never raises, shows nothing).
  std::string GetEnvironmentName();
  // Writes the environment (kind 1) or status (kind 3) answer as one line into OutputDir for the POS.
  void SaveProcessorInfo(int kind, bool showDone);

  // The date of a certificate date as openssl prints it ("Dec 31 23:59:59 2030 GMT", the day padded with a
  // blank): month name at characters 1-3 (Jan … Dec, exact case), day at 5-6, year at 17-20; the time is
  // ignored. Raises SdcError for a text that gives no valid date (an unknown month, a short text, …).
  static std::chrono::year_month_day ParseCertDate(const std::string& text);
  // A date as "yyyy-mm-dd".
  static std::string FormatDate(const std::chrono::year_month_day& date);

 private:
  std::string WorkingJson(int operation);

  const core::Configuration& m_configuration;
  const core::WorkingState& m_workingState;
  TFormHTTP& m_http;
  core::MessageService& m_messages;
  db::Database* m_database;  // kept for the module's database routines
};

}  // namespace telvano::sdc
