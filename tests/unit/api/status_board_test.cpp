#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "api/status_board.h"

namespace telvano::api {
namespace {

using namespace std::chrono_literals;
using invoice::InvoiceOutcome;
using invoice::OutcomeKind;

const auto kStart = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));

bool Has(const std::string& text, const std::string& line) { return text.find(line + "\n") != std::string::npos; }

TEST(StatusBoard, CountsHistogramsAndGaugesInPrometheusText) {
  StatusBoard board("r10.0.023", kStart);
  board.NoteInvoice("api", {OutcomeKind::Signed, 40ms, true}, 0.06s, kStart + 5s);
  board.NoteInvoice("api", {OutcomeKind::Signed, 3000ms, true}, 3.1s, kStart + 9s);
  board.NoteInvoice("file", {OutcomeKind::NotSent, -1ms, false}, 0.002s, kStart + 10s);
  board.NoteInvoice("file", {OutcomeKind::Waiting, -1ms, false}, 0.001s, kStart + 11s);  // nothing was handled
  board.SetOpenInvoices({{"INV_NS_1.csv", "api", true, "Timeout"}, {"INV_NS_2.csv", "file", false, ""}});
  board.SetCertificate({"AB12", false, "DEV", "2030-01-01", 100, 1893456000});
  board.SetDatabaseUp(true);
  const std::string text = board.MetricsText();
  EXPECT_TRUE(Has(text, "telvano_invoices_total{road=\"api\",outcome=\"signed\"} 2"));
  EXPECT_TRUE(Has(text, "telvano_invoices_total{road=\"file\",outcome=\"notSent\"} 1"));
  EXPECT_TRUE(Has(text, "telvano_invoices_total{road=\"file\",outcome=\"signed\"} 0"));
  // Buckets are cumulative: 0.06 s falls in le=0.1 and every bucket above it.
  EXPECT_TRUE(Has(text, "telvano_invoice_duration_seconds_bucket{road=\"api\",le=\"0.05\"} 0"));
  EXPECT_TRUE(Has(text, "telvano_invoice_duration_seconds_bucket{road=\"api\",le=\"0.1\"} 1"));
  EXPECT_TRUE(Has(text, "telvano_invoice_duration_seconds_bucket{road=\"api\",le=\"5\"} 2"));
  EXPECT_TRUE(Has(text, "telvano_invoice_duration_seconds_bucket{road=\"api\",le=\"+Inf\"} 2"));
  EXPECT_TRUE(Has(text, "telvano_invoice_duration_seconds_count{road=\"api\"} 2"));
  EXPECT_TRUE(Has(text, "telvano_invoice_duration_seconds_sum{road=\"api\"} 3.160000"));
  // Only requests that went to the processor are timed there.
  EXPECT_TRUE(Has(text, "telvano_processor_request_duration_seconds_count 2"));
  EXPECT_TRUE(Has(text, "telvano_invoices_open 2"));
  EXPECT_TRUE(Has(text, "telvano_invoices_held 1"));
  EXPECT_TRUE(Has(text, "telvano_last_signature_timestamp_seconds 1700000009"));
  EXPECT_TRUE(Has(text, "telvano_certificate_not_after_timestamp_seconds 1893456000"));
  EXPECT_TRUE(Has(text, "telvano_database_up 1"));
  EXPECT_TRUE(Has(text, "telvano_processor_up 1"));
}

TEST(StatusBoard, StatusJsonBeforeAndAfterWhatItSaw) {
  StatusBoard board("r10.0.023", kStart);
  nlohmann::json status = nlohmann::json::parse(board.StatusJson());
  EXPECT_EQ(status["startedAt"], "2023-11-14T22:13:20Z");
  EXPECT_TRUE(status["databaseUp"].is_null());  // not looked at yet
  EXPECT_TRUE(status["lastSignedAt"].is_null());
  board.NoteInvoice("api", {OutcomeKind::NotSent, 10ms, false}, 0.02s, kStart + 2s);
  status = nlohmann::json::parse(board.StatusJson());
  EXPECT_EQ(status["processorUp"], false);  // the last request got no answer
  EXPECT_EQ(status["countsSinceStart"]["api"]["notSent"], 1);
}

}  // namespace
}  // namespace telvano::api
