#pragma once

#include <memory>
#include <string>

#include "core/message_service.h"
#include "core/working_state.h"

namespace telvano::db {
class Database;
}

namespace telvano::core {

// The plain dialog shown when no serial is given and cert_se does not hold exactly one certificate.
inline constexpr const char* kNoCertificateChosenText =
    "Niste izabrali sertifikat za rad!!! ( 0 ili vise u bazi )";

// The environment name of the production environment; any other name (after upper-casing) is "DEV".
inline constexpr const char* kProductionEnvName = "СУФ ПРОДУКЦИЈА";

// Fills the one working state from the certificate rows (cert_se).
class WorkingCertificate {
 public:
  // `connection` is the program's connection slot: it may be empty or reconnected between calls.
  WorkingCertificate(WorkingState& state, const std::unique_ptr<db::Database>& connection,
                     MessageService& messages);

  // "CLEAR" clears the state (all texts empty, WorkIsLpfr true, WorkPin empty). An empty serial takes the
  // only row of cert_se; with 0 or several rows it shows the plain dialog and leaves the state as it was.
  // Otherwise the row of that serial fills every field but WorkPin; no row leaves the state as it was.
  // Returns true when the state was cleared or filled. Database errors (db::DbError) go to the caller.
  bool LoadWorkingCertificate(const std::string& serialOrCommand);

  // "PROD" when `envName` upper-cased (full Unicode) is the production name, otherwise "DEV".
  static std::string EnvironmentOf(const std::string& envName);

 private:
  db::Database& Connection() const;

  WorkingState& m_state;
  const std::unique_ptr<db::Database>& m_connection;
  MessageService& m_messages;
};

// The caption of the main, invoice, command and JSON invoice windows: "TELVANO " + version + " | ", then,
// with a working certificate, serial, TIN, unit, environment, "LPFR"/"VPFR" and URL joined by "-".
std::string WindowCaption(const WorkingState& state, const std::string& programVersion);

}  // namespace telvano::core
