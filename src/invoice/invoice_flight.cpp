#include "invoice/invoice_flight.h"

#include <nlohmann/json.hpp>

#include "core/text_utils.h"

namespace telvano::invoice {

using db::Param;
using Json = nlohmann::json;

namespace {

constexpr std::size_t kLastErrorCharacters = 1000;

FlightRecord RecordFrom(const db::Row& row) {
  FlightRecord record;
  record.uuid = row["inv_uuid"].AsString();
  record.inputName = row["input_name"].AsString();
  record.extFilename = row["ext_filename"].AsString();
  record.state = static_cast<FlightState>(row["state"].AsInt64());
  record.options = OptionsFromText(row["options"].AsString());
  record.itemCount = row["item_count"].IsNull() ? 0 : static_cast<std::size_t>(row["item_count"].AsInt64());
  record.printed = !row["printed"].IsNull() && row["printed"].AsInt64() != 0;
  record.attempts = row["attempts"].IsNull() ? 0 : static_cast<int>(row["attempts"].AsInt64());
  record.lastError = row["last_error"].AsString();
  record.processor.serial = row["sdc_serial"].AsString();
  record.processor.isLpfr = row["sdc_kind"].AsString() != "VPFR";
  record.processor.url = row["sdc_url"].AsString();
  record.inputHash = row["input_hash"].AsString();
  record.road = row["road"].AsString();
  if (!row["closed_at_ms"].IsNull()) {
    record.closedAt = std::chrono::system_clock::time_point(std::chrono::milliseconds(row["closed_at_ms"].AsInt64()));
  }
  return record;
}

}  // namespace

InvoiceFlight::InvoiceFlight(db::Database& database, std::string road)
    : m_database(database), m_road(std::move(road)) {}

void InvoiceFlight::Open(const FlightRecord& record) {
  m_database.Execute(
      "insert into inv_flight( inv_uuid, input_name, ext_filename, state, options, item_count, printed, "
      "attempts, sdc_serial, sdc_kind, sdc_url, input_hash, road, created_at, updated_at ) "
      "values( ?, ?, ?, ?, ?, ?, 0, 0, ?, ?, ?, ?, ?, current_timestamp, current_timestamp )",
      {Param(record.uuid), Param(record.inputName), Param(record.extFilename),
       Param(static_cast<std::int64_t>(record.state)), Param(OptionsText(record.options)),
       Param(static_cast<std::int64_t>(record.itemCount)), Param(record.processor.serial),
       Param(std::string(record.processor.Kind())), Param(record.processor.url), Param(record.inputHash),
       db::SqlValue(m_road)});
}

void InvoiceFlight::SetState(const std::string& uuid, FlightState state) {
  m_database.Execute("update inv_flight set state=?, updated_at=current_timestamp where inv_uuid=?",
                     {Param(static_cast<std::int64_t>(state)), Param(uuid)});
}

void InvoiceFlight::MarkPrinted(const std::string& uuid) {
  m_database.Execute("update inv_flight set printed=1, updated_at=current_timestamp where inv_uuid=?", {Param(uuid)});
}

void InvoiceFlight::NoteFailure(const std::string& uuid, const std::string& text) {
  m_database.Execute(
      "update inv_flight set attempts=coalesce(attempts, 0)+1, last_error=?, updated_at=current_timestamp "
      "where inv_uuid=?",
      {Param(core::Utf8Prefix(text, kLastErrorCharacters)), Param(uuid)});
}

void InvoiceFlight::NoteClosed(const std::string& uuid, std::chrono::system_clock::time_point closedAt) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(closedAt.time_since_epoch()).count();
  m_database.Execute("update inv_flight set closed_at_ms=?, updated_at=current_timestamp where inv_uuid=?",
                     {Param(static_cast<std::int64_t>(ms)), Param(uuid)});
}

void InvoiceFlight::Close(const std::string& uuid) {
  m_database.Execute("delete from inv_flight where inv_uuid=?", {Param(uuid)});
}

std::vector<FlightRecord> InvoiceFlight::AllOpenInvoices() {
  std::vector<FlightRecord> records;
  for (const db::Row& row : m_database.Query("select * from inv_flight order by created_at, inv_uuid")) {
    records.push_back(RecordFrom(row));
  }
  return records;
}

bool InvoiceFlight::IsOpenFor(const std::string& extFilename) {
  return m_database.QueryFirst("select inv_uuid from inv_flight where ext_filename=?", {Param(extFilename)})
      .has_value();
}

std::size_t InvoiceFlight::OpenCount() {
  const auto row = m_database.QueryFirst("select count(*) as n from inv_flight");
  return row ? static_cast<std::size_t>((*row)["n"].AsInt64()) : 0;
}

std::string OptionsText(const InvoiceOptions& options) {
  Json json = {{"printerModel", options.printerModel},      {"printerPort", options.printerPort},
               {"changeAmount", options.changeAmount.ToString()}, {"signatureLine", options.signatureLine},
               {"taxLabelCodes", options.taxLabelCodes},    {"keepJson", options.keepJson}};
  return json.dump();
}

InvoiceOptions OptionsFromText(const std::string& text) {
  InvoiceOptions options;
  const Json json = Json::parse(text, nullptr, false);
  if (!json.is_object()) return options;
  const auto read = [&json](const char* key, auto& target) {
    const auto it = json.find(key);
    using Target = std::decay_t<decltype(target)>;
    if (it == json.end()) return;
    if constexpr (std::is_same_v<Target, bool>) {
      if (it->is_boolean()) target = it->get<bool>();
    } else if constexpr (std::is_same_v<Target, int>) {
      if (it->is_number_integer()) target = it->get<int>();
    } else {
      if (it->is_string()) target = it->get<std::string>();
    }
  };
  read("printerModel", options.printerModel);
  read("printerPort", options.printerPort);
  read("signatureLine", options.signatureLine);
  read("taxLabelCodes", options.taxLabelCodes);
  read("keepJson", options.keepJson);
  std::string change;
  read("changeAmount", change);
  if (auto amount = ParseFixed4(change)) options.changeAmount = *amount;
  return options;
}

}  // namespace telvano::invoice
