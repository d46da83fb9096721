#include "core/working_certificate.h"

#include "core/text_utils.h"
#include "db/database.h"

namespace telvano::core {
namespace {

constexpr std::size_t kWorkUnitLength = 7;

}  // namespace

WorkingCertificate::WorkingCertificate(WorkingState& state, const std::unique_ptr<db::Database>& connection,
                                       MessageService& messages)
    : m_state(state), m_connection(connection), m_messages(messages) {}

db::Database& WorkingCertificate::Connection() const {
  if (!m_connection || !m_connection->IsOpen()) throw db::DbError("the database is not connected");
  return *m_connection;
}

std::string WorkingCertificate::EnvironmentOf(const std::string& envName) {
  return UpperCaseUnicode(envName) == kProductionEnvName ? "PROD" : "DEV";
}

bool WorkingCertificate::LoadWorkingCertificate(const std::string& serialOrCommand) {
  if (serialOrCommand == "CLEAR") {
    m_state.Clear();
    return true;
  }
  db::Database& database = Connection();
  std::string serial = serialOrCommand;
  if (serial.empty()) {
    const auto count = database.QueryFirst("select count(*) cnt from cert_se");
    if (!count || count->size() == 0 || (*count)[0].AsInt64() != 1) {
      m_messages.ShowInfo(kNoCertificateChosenText);
      return false;
    }
    const auto only = database.QueryFirst("select serial from cert_se");
    if (!only) return false;
    serial = (*only)[0].AsString();
  }
  const auto row = database.QueryFirst("select * from cert_se where serial=?", {serial});
  if (!row) return false;
  m_state.WorkSerial = (*row)["serial"].AsString();
  m_state.WorkTin = (*row)["sub_tin"].AsString();
  m_state.WorkUnit = Utf8Prefix((*row)["sub_ou"].AsString(), kWorkUnitLength);
  m_state.WorkUrl = (*row)["srv_url"].AsString();
  m_state.WorkIsLpfr = (*row)["ind_lpfr"].AsString() == "Y";
  m_state.WorkNotAfter = (*row)["not_after"].AsString();
  m_state.WorkEnv = EnvironmentOf((*row)["env_name"].AsString());
  return true;
}

std::string WindowCaption(const WorkingState& state, const std::string& programVersion) {
  std::string caption = "TELVANO " + programVersion + " | ";
  if (state.WorkSerial.empty()) return caption;
  return caption + state.WorkSerial + "-" + state.WorkTin + "-" + state.WorkUnit + "-" + state.WorkEnv + "-" +
         (state.WorkIsLpfr ? "LPFR" : "VPFR") + "-" + state.WorkUrl;
}

}  // namespace telvano::core
