#include "cert/certificate_rows.h"

namespace telvano::cert {

void InsertLpfrRow(db::Database& database, const std::string& serial, const db::Row& response,
                   const std::string& url, const std::string& envName) {
  database.Execute(
      "insert into cert_se( serial, not_before, not_after, ind_act, ind_lpfr, sub_tin, sub_c, sub_cn, "
      "sub_o, "
      "sub_ou, sub_st, sub_l, sub_street, iss_cn, iss_o, srv_url, env_name ) values( "
      "?,null,null,'Y','Y',?,"
      "'RS',null,?,?,?,null,?,null,null,?,? )",
      {db::SqlValue(serial), db::SqlValue(response["tin"].AsString()),
       db::SqlValue(response["business_name"].AsString()), db::SqlValue(response["location_name"].AsString()),
       db::SqlValue(response["district"].AsString()), db::SqlValue(response["address"].AsString()),
       db::SqlValue(url), db::SqlValue(envName)});
}

void InsertVpfrRow(db::Database& database, const PfxContents& pfx, const std::string& url,
                   const std::string& envName) {
  database.Execute(
      "insert into cert_se( serial, not_before, not_after, ind_act, ind_lpfr, sub_tin, sub_c, sub_cn, "
      "sub_o, "
      "sub_ou, sub_st, sub_l, sub_street, iss_cn, iss_o, srv_url, pfx_cert, pfx_key, env_name ) values( "
      "?,?,?,'Y','N',?,?,?,?,?,?,?,?,?,?,?,?,?,? )",
      {db::SqlValue(pfx.serial), db::SqlValue(pfx.notBefore), db::SqlValue(pfx.notAfter),
       db::SqlValue(pfx.subTin), db::SqlValue(pfx.subC), db::SqlValue(pfx.subCn), db::SqlValue(pfx.subO),
       db::SqlValue(pfx.subOu), db::SqlValue(pfx.subSt), db::SqlValue(pfx.subL), db::SqlValue(pfx.subStreet),
       db::SqlValue(pfx.issCn), db::SqlValue(pfx.issO), db::SqlValue(url), db::SqlValue(pfx.certificatePem),
       db::SqlValue(pfx.keyPem), db::SqlValue(envName)});
}

}  // namespace telvano::cert
