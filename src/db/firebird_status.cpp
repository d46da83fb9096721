#include "db/firebird_status.h"

#include <ibase.h>

namespace telvano::db::detail {

using namespace Firebird;

namespace {

// The error codes that say the link to the database is gone rather than that a statement was wrong.
bool IsConnectionLossCode(ISC_STATUS code) {
  switch (code) {
    case isc_network_error:
    case isc_net_read_err:
    case isc_net_write_err:
    case isc_lost_db_connection:
    case isc_conn_lost:
    case isc_att_shutdown:
    case isc_shutdown:
    case isc_net_server_shutdown:
    case isc_bad_db_handle:
    case isc_net_connect_err:
      return true;
    default:
      return false;
  }
}

// Walks the whole status vector: the loss may be named by the second or third code of a message.
bool NamesConnectionLoss(const ISC_STATUS* vector) {
  if (!vector) return false;
  for (const ISC_STATUS* at = vector; *at != isc_arg_end;) {
    const ISC_STATUS kind = *at;
    if (kind == isc_arg_gds && IsConnectionLossCode(at[1])) return true;
    at += (kind == isc_arg_cstring) ? 3 : 2;
  }
  return false;
}

}  // namespace

DbError ErrorFrom(IUtil* util, IStatus* status, const std::string& context) {
  char buffer[4096];
  util->formatStatus(buffer, sizeof buffer, status);
  std::string text = buffer;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (!context.empty()) text = context + (text.empty() ? "" : "\n" + text);
  const ISC_STATUS* vector = reinterpret_cast<const ISC_STATUS*>(status->getErrors());
  std::int64_t gds = vector && vector[0] == isc_arg_gds ? vector[1] : 0;
  std::int64_t sql = vector ? isc_sqlcode(vector) : 0;
  return DbError(text, sql, gds, NamesConnectionLoss(vector));
}

bool Failed(CheckStatusWrapper& status) { return (status.getState() & IStatus::STATE_ERRORS) != 0; }

void CheckStatus(IUtil* util, CheckStatusWrapper& status, bool& connectionLost, const std::string& context) {
  if (!Failed(status)) return;
  DbError error = ErrorFrom(util, &status, context);
  if (error.ConnectionLost()) connectionLost = true;
  throw error;
}

}  // namespace telvano::db::detail
