// The TELVANO database schema.
//
// Domains (all texts use the database's default character set UTF8, lengths are in characters):
//   D_ID10 VARCHAR(10), D_ID20 VARCHAR(20), D_STR032 VARCHAR(32), D_STR050 VARCHAR(50), D_STR999 VARCHAR(999)
//
// Column types at the current level 10.16 ("*" = given by an upgrade step; "(10.10: ...)" = type before it).
// Amounts, prices, quantities and rates are exact NUMERIC(18,4): bind Decimal or the amount's text, read
// with Field::AsDecimal(). Dates and times from the processor are stored as the texts received.
//
// my_reg          reg_code VARCHAR(100) NOT NULL PRIMARY KEY (upper-case key), reg_desc VARCHAR(4000)
// cert_se         serial VARCHAR(64) NOT NULL, not_before VARCHAR(40), not_after VARCHAR(40), ind_act VARCHAR(1),
//                 ind_lpfr VARCHAR(1), sub_tin VARCHAR(20), sub_c VARCHAR(10), sub_cn, sub_o, sub_ou, sub_st,
//                 sub_l, sub_street, iss_cn, iss_o VARCHAR(255) each, srv_url VARCHAR(512),
//                 *pfx_cert VARCHAR(4000), *pfx_key VARCHAR(4000), *env_name D_ID20; index on serial
// inv_request     inv_uuid VARCHAR(36) NOT NULL PRIMARY KEY, ext_filename VARCHAR(255),
//                 *date_and_time_of_issue D_STR050 (10.10: VARCHAR(40)), invoice_type VARCHAR(20),
//                 transaction_type VARCHAR(20), cashier VARCHAR(50), buyer_id VARCHAR(50),
//                 buyer_cost_center_id VARCHAR(50), invoice_number VARCHAR(60), referent_document_number
//                 VARCHAR(60), referent_document_dt VARCHAR(50), omit_qrcode_gen VARCHAR(10),
//                 omit_textual_representation VARCHAR(10), request_id VARCHAR(50), *customized_string D_STR999,
//                 sdc_date VARCHAR(20); indexes on ext_filename and sdc_date
// inv_sale_items  inv_uuid VARCHAR(36) NOT NULL, row_num INTEGER NOT NULL, PRIMARY KEY (inv_uuid, row_num),
//                 gtin VARCHAR(50), name VARCHAR(2048), unit_price NUMERIC(18,4), quantity NUMERIC(18,4),
//                 uom VARCHAR(20), total_amount NUMERIC(18,4), labels VARCHAR(30), cashier VARCHAR(50),
//                 *it_type D_ID10, *labels_cyr D_ID10, *requested_by D_STR032, *signed_by D_STR032,
//                 sdc_date_time VARCHAR(40), invoice_number VARCHAR(60), sdc_date VARCHAR(20); index on sdc_date
// inv_pay_items   inv_uuid VARCHAR(36) NOT NULL, row_num INTEGER NOT NULL, PRIMARY KEY (inv_uuid, row_num),
//                 amount NUMERIC(18,4), payment_type VARCHAR(30), cashier VARCHAR(50), *it_type D_ID10,
//                 *requested_by D_STR032, *signed_by D_STR032, sdc_date_time VARCHAR(40),
//                 invoice_number VARCHAR(60), sdc_date VARCHAR(20); index on sdc_date
// inv_response    inv_uuid VARCHAR(36) NOT NULL PRIMARY KEY, requested_by VARCHAR(32), signed_by VARCHAR(32),
//                 sdc_date_time VARCHAR(40), sdc_date VARCHAR(20), invoice_counter VARCHAR(60),
//                 invoice_counter_extension VARCHAR(60), invoice_number VARCHAR(60),
//                 *verification_url VARCHAR(1444) (10.10: VARCHAR(1024)), total_counter INTEGER,
//                 transaction_type_counter INTEGER, total_amount NUMERIC(18,4), business_name VARCHAR(255),
//                 location_name VARCHAR(255), address VARCHAR(255), tin VARCHAR(20), district VARCHAR(255),
//                 tax_group_revision VARCHAR(20), mrc VARCHAR(100), messages VARCHAR(1000),
//                 esir_version VARCHAR(50), *it_type D_ID10; index on sdc_date
// inv_tax_items   inv_uuid VARCHAR(36) NOT NULL, group_id INTEGER, label VARCHAR(10), rate NUMERIC(18,4),
//                 category_type INTEGER, *category_name D_STR032 (10.10: VARCHAR(30)), amount NUMERIC(18,4),
//                 sdc_date_time VARCHAR(40), invoice_number VARCHAR(60), sdc_date VARCHAR(20),
//                 *requested_by D_STR032, *signed_by D_STR032, *it_type D_ID10,
//                 *label_cyr D_ID10 (named labels_cyr at 10.12); indexes on inv_uuid and sdc_date
// tax_groups      group_id INTEGER, label VARCHAR(10), rate NUMERIC(18,4), category_type INTEGER,
//                 *name D_STR032 (10.10: VARCHAR(30)), order_id INTEGER, valid_from VARCHAR(40), *label_cyr D_ID10
//
// row_num is an INTEGER so that "order by row_num" sorts 10 after 9; text bound to it ('0', '1') is
// converted by the database. sdc_date holds the processor's date as text "yyyy-mm-dd" and is compared as text.

#include "db/schema.h"

#include "db/api_key_schema.h"
#include "db/invoice_flight_schema.h"
#include "db/settings.h"

namespace telvano::db {

namespace {

const std::vector<std::string>& BaseStatementList() {
  static const std::vector<std::string> statements = {
      "CREATE DOMAIN D_ID10 AS VARCHAR(10)",
      "CREATE DOMAIN D_ID20 AS VARCHAR(20)",
      "CREATE DOMAIN D_STR032 AS VARCHAR(32)",
      "CREATE DOMAIN D_STR050 AS VARCHAR(50)",
      "CREATE DOMAIN D_STR999 AS VARCHAR(999)",

      "CREATE TABLE MY_REG (REG_CODE VARCHAR(100) NOT NULL, REG_DESC VARCHAR(4000),"
      " CONSTRAINT PK_MY_REG PRIMARY KEY (REG_CODE))",

      "CREATE TABLE CERT_SE (SERIAL VARCHAR(64) NOT NULL, NOT_BEFORE VARCHAR(40), NOT_AFTER VARCHAR(40),"
      " IND_ACT VARCHAR(1), IND_LPFR VARCHAR(1), SUB_TIN VARCHAR(20), SUB_C VARCHAR(10), SUB_CN VARCHAR(255),"
      " SUB_O VARCHAR(255), SUB_OU VARCHAR(255), SUB_ST VARCHAR(255), SUB_L VARCHAR(255),"
      " SUB_STREET VARCHAR(255), ISS_CN VARCHAR(255), ISS_O VARCHAR(255), SRV_URL VARCHAR(512))",
      "CREATE INDEX IX_CERT_SE_SERIAL ON CERT_SE (SERIAL)",

      "CREATE TABLE INV_REQUEST (INV_UUID VARCHAR(36) NOT NULL, EXT_FILENAME VARCHAR(255),"
      " DATE_AND_TIME_OF_ISSUE VARCHAR(40), INVOICE_TYPE VARCHAR(20), TRANSACTION_TYPE VARCHAR(20),"
      " CASHIER VARCHAR(50), BUYER_ID VARCHAR(50), BUYER_COST_CENTER_ID VARCHAR(50), INVOICE_NUMBER VARCHAR(60),"
      " REFERENT_DOCUMENT_NUMBER VARCHAR(60), REFERENT_DOCUMENT_DT VARCHAR(50), OMIT_QRCODE_GEN VARCHAR(10),"
      " OMIT_TEXTUAL_REPRESENTATION VARCHAR(10), REQUEST_ID VARCHAR(50), SDC_DATE VARCHAR(20),"
      " CONSTRAINT PK_INV_REQUEST PRIMARY KEY (INV_UUID))",
      "CREATE INDEX IX_INV_REQUEST_EXT_FILENAME ON INV_REQUEST (EXT_FILENAME)",
      "CREATE INDEX IX_INV_REQUEST_SDC_DATE ON INV_REQUEST (SDC_DATE)",

      "CREATE TABLE INV_SALE_ITEMS (INV_UUID VARCHAR(36) NOT NULL, ROW_NUM INTEGER NOT NULL, GTIN VARCHAR(50),"
      " NAME VARCHAR(2048), UNIT_PRICE NUMERIC(18,4), QUANTITY NUMERIC(18,4), UOM VARCHAR(20),"
      " TOTAL_AMOUNT NUMERIC(18,4), LABELS VARCHAR(30), CASHIER VARCHAR(50), SDC_DATE_TIME VARCHAR(40),"
      " INVOICE_NUMBER VARCHAR(60), SDC_DATE VARCHAR(20), CONSTRAINT PK_INV_SALE_ITEMS PRIMARY KEY (INV_UUID, ROW_NUM))",
      "CREATE INDEX IX_INV_SALE_ITEMS_SDC_DATE ON INV_SALE_ITEMS (SDC_DATE)",

      "CREATE TABLE INV_PAY_ITEMS (INV_UUID VARCHAR(36) NOT NULL, ROW_NUM INTEGER NOT NULL,"
      " AMOUNT NUMERIC(18,4), PAYMENT_TYPE VARCHAR(30), CASHIER VARCHAR(50), SDC_DATE_TIME VARCHAR(40),"
      " INVOICE_NUMBER VARCHAR(60), SDC_DATE VARCHAR(20), CONSTRAINT PK_INV_PAY_ITEMS PRIMARY KEY (INV_UUID, ROW_NUM))",
      "CREATE INDEX IX_INV_PAY_ITEMS_SDC_DATE ON INV_PAY_ITEMS (SDC_DATE)",

      "CREATE TABLE INV_RESPONSE (INV_UUID VARCHAR(36) NOT NULL, REQUESTED_BY VARCHAR(32), SIGNED_BY VARCHAR(32),"
      " SDC_DATE_TIME VARCHAR(40), SDC_DATE VARCHAR(20), INVOICE_COUNTER VARCHAR(60),"
      " INVOICE_COUNTER_EXTENSION VARCHAR(60), INVOICE_NUMBER VARCHAR(60), VERIFICATION_URL VARCHAR(1024),"
      " TOTAL_COUNTER INTEGER, TRANSACTION_TYPE_COUNTER INTEGER, TOTAL_AMOUNT NUMERIC(18,4),"
      " BUSINESS_NAME VARCHAR(255), LOCATION_NAME VARCHAR(255), ADDRESS VARCHAR(255), TIN VARCHAR(20),"
      " DISTRICT VARCHAR(255), TAX_GROUP_REVISION VARCHAR(20), MRC VARCHAR(100), MESSAGES VARCHAR(1000),"
      " ESIR_VERSION VARCHAR(50), CONSTRAINT PK_INV_RESPONSE PRIMARY KEY (INV_UUID))",
      "CREATE INDEX IX_INV_RESPONSE_SDC_DATE ON INV_RESPONSE (SDC_DATE)",

      "CREATE TABLE INV_TAX_ITEMS (INV_UUID VARCHAR(36) NOT NULL, GROUP_ID INTEGER, LABEL VARCHAR(10),"
      " RATE NUMERIC(18,4), CATEGORY_TYPE INTEGER, CATEGORY_NAME VARCHAR(30), AMOUNT NUMERIC(18,4),"
      " SDC_DATE_TIME VARCHAR(40), INVOICE_NUMBER VARCHAR(60), SDC_DATE VARCHAR(20))",
      "CREATE INDEX IX_INV_TAX_ITEMS_INV_UUID ON INV_TAX_ITEMS (INV_UUID)",
      "CREATE INDEX IX_INV_TAX_ITEMS_SDC_DATE ON INV_TAX_ITEMS (SDC_DATE)",

      "CREATE TABLE TAX_GROUPS (GROUP_ID INTEGER, LABEL VARCHAR(10), RATE NUMERIC(18,4), CATEGORY_TYPE INTEGER,"
      " NAME VARCHAR(30), ORDER_ID INTEGER, VALID_FROM VARCHAR(40))",
  };
  return statements;
}

int StepIndexOf(SchemaLevel level) {
  switch (level) {
    case SchemaLevel::Ddl10_10: return 0;
    case SchemaLevel::Ddl10_12: return 1;
    case SchemaLevel::Ddl10_14: return 2;
    case SchemaLevel::Ddl10_16: return 3;
  }
  return 3;
}

bool IsKnownMark(const std::string& mark) {
  return mark == kDbVersion10_10 || mark == kDbVersion10_12 || mark == kDbVersion10_14 || mark == kDbVersion10_16;
}

// One step in one transaction: its statements, then its new mark. Any failure rolls all of it back.
void RunStep(Database& database, const UpgradeStep& step, const StatementObserver& observer) {
  Database::Transaction transaction(database);
  for (const std::string& statement : step.statements) {
    if (observer) observer(statement);
    database.Execute(statement);
  }
  WriteSetting(database, kDbVersionKey, step.to);
  transaction.Commit();
}

void EnsureFlightTable(Database& database) {
  try {
    EnsureInvoiceFlightTable(database);
  } catch (const DbError& error) {
    throw SchemaError(std::string("cannot create the table of invoices in flight: ") + error.what());
  }
  try {
    EnsureApiKeyTable(database);
  } catch (const DbError& error) {
    throw SchemaError(std::string("cannot create the table of the API's keys: ") + error.what());
  }
}

}  // namespace

const std::vector<std::string>& BaseSchemaStatements() { return BaseStatementList(); }

const char* VersionMark(SchemaLevel level) {
  switch (level) {
    case SchemaLevel::Ddl10_10: return kDbVersion10_10;
    case SchemaLevel::Ddl10_12: return kDbVersion10_12;
    case SchemaLevel::Ddl10_14: return kDbVersion10_14;
    case SchemaLevel::Ddl10_16: return kDbVersion10_16;
  }
  return kCurrentDbVersion;
}

const std::vector<UpgradeStep>& UpgradeSteps() {
  static const std::vector<UpgradeStep> steps = {
      {kDbVersion10_10,
       kDbVersion10_12,
       {"ALTER TABLE INV_RESPONSE  ADD IT_TYPE D_ID10",
        "ALTER TABLE INV_SALE_ITEMS  ADD REQUESTED_BY D_STR032,  ADD SIGNED_BY D_STR032,  ADD IT_TYPE D_ID10,  ADD "
        "LABELS_CYR D_ID10",
        "ALTER TABLE INV_TAX_ITEMS  ADD REQUESTED_BY D_STR032,  ADD SIGNED_BY D_STR032,  ADD IT_TYPE D_ID10,  ADD "
        "LABELS_CYR D_ID10",
        "ALTER TABLE INV_PAY_ITEMS  ADD REQUESTED_BY D_STR032,  ADD SIGNED_BY D_STR032,  ADD IT_TYPE D_ID10",
        "ALTER TABLE TAX_GROUPS  ADD LABEL_CYR D_ID10"}},
      {kDbVersion10_12,
       kDbVersion10_14,
       {"ALTER TABLE INV_REQUEST  ADD CUSTOMIZED_STRING D_STR999,  ALTER DATE_AND_TIME_OF_ISSUE TYPE D_STR050",
        "ALTER TABLE CERT_SE  ADD PFX_CERT VARCHAR(4000),  ADD PFX_KEY VARCHAR(4000),  ADD ENV_NAME D_ID20",
        "ALTER TABLE INV_RESPONSE  ALTER VERIFICATION_URL TYPE VARCHAR(1444)",
        "ALTER TABLE INV_TAX_ITEMS  ALTER LABELS_CYR TO LABEL_CYR"}},
      {kDbVersion10_14,
       kDbVersion10_16,
       {"ALTER TABLE INV_TAX_ITEMS  ALTER CATEGORY_NAME TYPE D_STR032",
        "ALTER TABLE TAX_GROUPS  ALTER NAME TYPE D_STR032"}},
  };
  return steps;
}

void CreateSchema(Database& database, SchemaLevel level) {
  // DDL is committed statement by statement: a table must exist (committed) before rows go into it.
  for (const std::string& statement : BaseSchemaStatements()) database.Execute(statement);
  WriteSetting(database, kDbVersionKey, kDbVersion10_10);
  const auto& steps = UpgradeSteps();
  for (int i = 0; i < StepIndexOf(level); ++i) RunStep(database, steps[i], {});
  EnsureInvoiceFlightTable(database);
  EnsureApiKeyTable(database);
}

void CheckAndUpgradeSchema(Database& database, const StatementObserver& observer) {
  std::string mark;
  try {
    mark = ReadSetting(database, kDbVersionKey);
  } catch (const DbError& error) {
    throw SchemaError(std::string("cannot read the schema version: ") + error.what());
  }
  if (mark == kCurrentDbVersion) {
    EnsureFlightTable(database);
    return;
  }
  if (mark.empty()) throw SchemaError("the database has no schema version");
  if (!IsKnownMark(mark)) throw SchemaError("unknown schema version " + mark);
  for (const UpgradeStep& step : UpgradeSteps()) {
    try {
      // Each step acts only when the mark holds its starting level at that moment.
      if (ReadSetting(database, kDbVersionKey) != step.from) continue;
      RunStep(database, step, observer);
    } catch (const DbError& error) {
      throw SchemaError(std::string("schema upgrade from ") + step.from + " failed: " + error.what());
    }
  }
  try {
    mark = ReadSetting(database, kDbVersionKey);
  } catch (const DbError& error) {
    throw SchemaError(std::string("cannot read the schema version: ") + error.what());
  }
  if (mark != kCurrentDbVersion) throw SchemaError("the schema is at " + mark + " after the upgrade");
  EnsureFlightTable(database);
}

void ProbeDatabase(Database& database) {
  database.Query("select count(*) cnt from inv_request");
  database.Query("select count(*) cnt from inv_response");
  database.Query("select count(*) cnt from my_reg");
}

}  // namespace telvano::db
