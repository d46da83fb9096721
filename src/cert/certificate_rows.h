#pragma once

#include <string>

#include "cert/pfx_file.h"
#include "db/database.h"

namespace telvano::cert {

// The row of cert_se of a registered LPFR, from the answer to its test invoice (a row of inv_response):
// active, without validity dates, named by the processor's serial. Raises db::DbError.
void InsertLpfrRow(db::Database& database, const std::string& serial, const db::Row& response,
                   const std::string& url, const std::string& envName);

// The row of cert_se of an imported VPFR certificate, with the certificate and its key. Raises db::DbError.
void InsertVpfrRow(db::Database& database, const PfxContents& pfx, const std::string& url,
                   const std::string& envName);

}  // namespace telvano::cert
