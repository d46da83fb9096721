#include "invoice/open_invoices.h"

#include <cstdio>
#include <ctime>

#include "core/text_utils.h"
#include "invoice/invoice_flight.h"
#include "invoice/tform_invoice_json.h"

namespace telvano::invoice {

namespace {

constexpr std::chrono::days kRecentDays{7};

const char* StateText(FlightState state) {
  switch (state) {
    case FlightState::Prepared: return "prepared";
    case FlightState::Sent: return "sent, outcome unknown";
    case FlightState::Stored: return "signed, stored";
    case FlightState::Delivered: return "signed, delivered";
  }
  return "unknown";
}

std::string DayText(std::chrono::sys_days day) {
  const std::chrono::year_month_day date(day);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

}  // namespace

std::vector<core::OpenInvoice> ListOpenInvoices(db::Database& database, const core::Configuration& configuration,
                                                std::chrono::system_clock::time_point now) {
  std::vector<core::OpenInvoice> open;
  // The age as the database reckons it: created_at is its own local time.
  for (const db::Row& row : database.Query(
           "select input_name, state, attempts, last_error, "
           "datediff(millisecond from created_at to current_timestamp) as age_ms "
           "from inv_flight order by created_at, inv_uuid")) {
    core::OpenInvoice invoice;
    invoice.name = row["input_name"].AsString();
    const auto state = static_cast<FlightState>(row["state"].AsInt64());
    invoice.state = StateText(state);
    invoice.reason = core::OneLine(row["last_error"].AsString());
    const bool failed = !row["attempts"].IsNull() && row["attempts"].AsInt64() > 0;
    invoice.held = state == FlightState::Sent || failed;
    invoice.since = now - std::chrono::milliseconds(row["age_ms"].IsNull() ? 0 : row["age_ms"].AsInt64());
    open.push_back(std::move(invoice));
  }
  for (OpenJsonInvoice& json : ListOpenJsonInvoices(configuration)) {
    open.push_back({std::move(json.name), "sent, outcome unknown", std::move(json.reason), json.since, true});
  }
  return open;
}

std::string LastSignedTime(db::Database& database, std::chrono::system_clock::time_point now) {
  const std::string recent = DayText(std::chrono::floor<std::chrono::days>(now) - kRecentDays);
  auto row = database.QueryFirst(
      "select first 1 sdc_date_time from inv_response where sdc_date >= ? "
      "order by sdc_date desc, sdc_date_time desc",
      {recent});
  if (!row) {
    row = database.QueryFirst(
        "select first 1 sdc_date_time from inv_response where sdc_date = (select max(sdc_date) from "
        "inv_response) order by sdc_date_time desc");
  }
  return row ? (*row)[0].AsString() : std::string();
}

std::optional<std::chrono::system_clock::time_point> ParseProcessorTime(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &day, &hour, &minute, &second,
                  &consumed) != 6 || consumed != 19) {
    return std::nullopt;
  }
  std::size_t at = 19;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;  // parts of a second do not matter
  }
  int offsetMinutes = 0;
  const std::string zone = text.substr(at);
  if (zone == "Z") {
    offsetMinutes = 0;
  } else if (zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && zone[3] == ':') {
    int hours = 0, minutes = 0;
    if (std::sscanf(zone.c_str() + 1, "%2d:%2d", &hours, &minutes) != 2) return std::nullopt;
    offsetMinutes = (zone[0] == '-' ? -1 : 1) * (hours * 60 + minutes);
  } else {
    return std::nullopt;
  }
  const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month), std::chrono::day(day)};
  if (!date.ok() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
  return std::chrono::sys_days(date) + std::chrono::hours(hour) + std::chrono::minutes(minute) +
         std::chrono::seconds(second) - std::chrono::minutes(offsetMinutes);
}

}  // namespace telvano::invoice
