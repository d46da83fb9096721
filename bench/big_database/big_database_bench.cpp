// A shop with years of data: how the invoice road and the reports behave when the database already holds
// 0, 100 000 and 1 000 000 invoices.
//
// For every size the benchmark
//   - fills a database of that size (bench/big_database/invoice_filler.cpp: 30 000 invoices per calendar
//     month up to the month before the fill) or reuses the file a former run filled,
//   - opens it as the program's start does (Attach, CheckAndUpgradeSchema, which also brings a reused file to
//     the current schema, and ProbeDatabase),
//   - runs X-REPORT, TAX-REPORT and INV-REPORT for the newest full month through TFormCmd, as a command file
//     of the POS would (median and first of several runs),
//   - times ProcessCsvInvoice of a one-item invoice against the in-process simulator, without the pause after
//     each invoice (median and p90; the databases take turns, one invoice each per round), and compares it
//     with the empty database.
// Filling is slow (minutes for a million invoices), so the filled files stay in the scratch folder and later
// runs reuse them; --refill makes them anew. Each run adds its measured invoices (in the current month, not
// in the report month) to the reused files.
#include <sys/statvfs.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_road.h"
#include "big_database_options.h"
#include "big_database_table.h"
#include "cmd/reports.h"
#include "cmd/tform_cmd.h"
#include "core/application_control.h"
#include "core/configuration.h"
#include "core/message_service.h"
#include "core/working_state.h"
#include "db/database.h"
#include "db/schema.h"
#include "invoice/tform_invoice.h"
#include "invoice_filler.h"
#include "platform/clock.h"
#include "sdc/tform_common.h"
#include "sdc/tform_http.h"

namespace {

using namespace telvano;
using namespace telvano::bench;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What a filled invoice takes on disk, rows and indexes (measured: about 4.1 KB), with room to spare.
constexpr std::uint64_t kBytesPerInvoiceEstimate = 4500;

class NoMessages final : public core::MessageService {
 public:
  void ShowMessageNo(int) override {}
  void ShowMessageText(int, const std::string&, const std::string&) override {}
  void ShowProcessorError(const std::string&) override {}
  void ShowInfo(const std::string&) override {}
};

class NoApplication final : public core::ApplicationControl {
 public:
  void RequestTerminate() override {}
  void WriteStartStopNotice(bool, bool) override {}
};

std::string OneItemInvoice() {
  return "BLOCK_ITEMS\r\n1234567890123,\"Hleb beli 500g\",62.99,1,kom,62.99,Ђ\r\nE-O-B\r\n"
         "BLOCK_PAYMENTS\r\nCash,,62.99\r\nE-O-B\r\n"
         "BLOCK_OTHERS\r\ncashier,Pera\r\ninvoiceNumber,B-1\r\nE-O-B\r\n";
}

double Percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
  return values[std::min(values.size() - 1, rank == 0 ? 0 : rank - 1)];
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

std::uint64_t AvailableBytes(const fs::path& folder) {
  struct statvfs info {};
  if (statvfs(folder.c_str(), &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

std::vector<std::string> ReadLines(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Everything the invoice and command modules need besides the database.
struct Road {
  explicit Road(const fs::path& root) : configuration(bench::ExchangeConfiguration(root)), processor(configuration) {}

  core::Configuration configuration;
  bench::SimulatedProcessor processor;
  platform::ManualClock clock;  // the pause after each invoice takes no time
  bench::NoPrinter printer;
  NoMessages messages;
  NoApplication application;
};

ReportFigures MeasureReport(Road& road, cmd::TFormCmd& commands, const std::string& report,
                            const std::string& month, int runs) {
  ReportFigures figures;
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const std::string name = "CMD_BIG_" + report + "_" + std::to_string(run) + ".csv";
    std::ofstream(fs::path(road.configuration.InputDir) / name, std::ios::binary)
        << report << "," << month << "\r\n";
    const auto start = Clock::now();
    commands.ProcessCmdFile(name);
    times.push_back(MsSince(start));
    const fs::path answer = fs::path(road.configuration.OutputDir) / cmd::TFormCmd::ResponseFileName(name);
    const std::vector<std::string> lines = ReadLines(answer);
    for (const std::string& line : lines) {
      if (line.rfind(month, 0) != 0) throw std::runtime_error(report + " answered: " + line);
    }
    figures.lines = lines.size();
    fs::remove(answer);
  }
  figures.firstMs = times.front();
  figures.medianMs = Median(times);
  return figures;
}

// One database under measurement: its file, its connection and the invoice module on it.
struct Subject {
  fs::path path;
  SizeFigures* figures = nullptr;
  std::unique_ptr<db::Database> database;
  std::unique_ptr<invoice::TFormInvoice> module;
  std::vector<double> times;
};

// The databases take their invoices in turns (one each per round), so a change of the machine's load during
// the run affects every size alike and the ratios stay fair.
void MeasureInvoices(Road& road, std::vector<Subject>& subjects, const Options& options,
                     const std::string& tag) {
  const std::string text = OneItemInvoice();
  for (Subject& subject : subjects) {
    subject.module = std::make_unique<invoice::TFormInvoice>(road.configuration, *subject.database,
                                                             *road.processor.http, road.clock, road.printer);
  }
  for (int run = 0; run < options.warmUp + options.invoices; ++run) {
    for (Subject& subject : subjects) {
      const std::string name = "INV_NS_" + tag + "_" + std::to_string(subject.figures->stored) + "_" +
                               std::to_string(run) + ".csv";
      std::ofstream(fs::path(road.configuration.InputDir) / name, std::ios::binary) << text;
      const auto start = Clock::now();
      subject.module->ProcessCsvInvoice(name);
      const double ms = MsSince(start);
      const fs::path basic =
          fs::path(road.configuration.OutputDir) / (name.substr(0, name.size() - 4) + "_basic.csv");
      if (!fs::exists(basic)) throw std::runtime_error("invoice " + name + " failed");
      for (const auto& entry : fs::directory_iterator(road.configuration.OutputDir)) fs::remove(entry.path());
      if (run >= options.warmUp) subject.times.push_back(ms);
    }
  }
  for (Subject& subject : subjects) {
    subject.module.reset();
    subject.figures->invoiceMedianMs = Median(subject.times);
    subject.figures->invoiceP90Ms = Percentile(subject.times, 0.9);
  }
}

// The empty database is made anew every run: it takes no time.
void MakeEmptyDatabase(const fs::path& path, SizeFigures& figures) {
  std::printf("0 invoices: a new empty database %s\n", path.c_str());
  fs::remove(path);
  const auto start = Clock::now();
  auto database = db::Database::Create(db::Database::Options::For(path.string()));
  db::CreateSchema(*database);
  database->Close();
  figures.fillSeconds = MsSince(start) / 1000;
}

// True when a former run completed the file with `size` invoices; its figures are then those of that fill.
bool ReuseFilledDatabase(const fs::path& path, std::int64_t size, SizeFigures& figures) {
  bench::FillResult kept;
  try {
    kept = bench::ReadFillResult(path.string());
  } catch (const std::exception& error) {
    std::printf("%lld invoices: cannot read %s (%s)\n", static_cast<long long>(size), path.c_str(),
                error.what());
  }
  if (kept.invoices == size) {
    figures.reused = true;
    figures.fillSeconds = kept.seconds;
    figures.rows = kept.rows;
    figures.reportMonth = kept.reportMonth;
    figures.reportMonthInvoices = kept.reportMonthInvoices;
    std::printf("%lld invoices: reusing %s (filled in %.0f s)\n", static_cast<long long>(size),
                path.c_str(), kept.seconds);
    return true;
  }
  std::printf("%lld invoices: %s is incomplete, filling it anew\n", static_cast<long long>(size),
              path.c_str());
  return false;
}

// A filled file of `size` invoices: reused when a former run completed it, otherwise made now.
void PrepareDatabase(const fs::path& path, std::int64_t size, const Options& options, SizeFigures& figures) {
  if (size == 0) {
    MakeEmptyDatabase(path, figures);
    return;
  }
  if (fs::exists(path) && !options.refill && ReuseFilledDatabase(path, size, figures)) return;
  fs::remove(path);
  const std::uint64_t needed = static_cast<std::uint64_t>(size) * kBytesPerInvoiceEstimate + (512ULL << 20);
  const std::uint64_t available = AvailableBytes(path.parent_path());
  if (available < needed) {
    figures.skipped = true;
    figures.skipReason = "not enough disk space: " + std::to_string(needed >> 20) + " MB needed, " +
                         std::to_string(available >> 20) + " MB free";
    return;
  }
  std::printf("%lld invoices: filling %s (%.1f GB free)\n", static_cast<long long>(size), path.c_str(),
              static_cast<double>(available) / (1ULL << 30));
  std::fflush(stdout);
  bench::FillOptions fill;
  fill.invoices = size;
  fill.perMonth = options.perMonth;
  fill.batch = options.batch;
  const auto start = Clock::now();
  const bench::FillResult result = bench::FillDatabase(path.string(), fill, [&](std::int64_t stored) {
    std::printf("  %lld stored, %.0f s\n", static_cast<long long>(stored), MsSince(start) / 1000);
    std::fflush(stdout);
  });
  figures.fillSeconds = result.seconds;
  figures.rows = result.rows;
  figures.reportMonth = result.reportMonth;
  figures.reportMonthInvoices = result.reportMonthInvoices;
  std::printf("  filled: %lld invoices, %lld rows in %.1f s (%.0f rows/s)\n",
              static_cast<long long>(result.invoices), static_cast<long long>(result.rows), result.seconds,
              static_cast<double>(result.rows) / result.seconds);
}

void PrintPlans(const fs::path& path, const std::string& month) {
  std::vector<std::string> statements;
  for (const char* report : kReports) statements.push_back(cmd::Reports::QueryText(report, month.size()));
  const std::vector<std::string> plans = bench::StatementPlans(path.string(), statements);
  for (std::size_t i = 0; i < plans.size(); ++i) {
    std::printf("  plan %-10s %s\n", kReports[i], plans[i].c_str() + (plans[i].rfind('\n', 0) == 0 ? 1 : 0));
  }
}

// Opens the database as the program's start does and runs the reports on it.
void OpenAndReport(Road& road, const Options& options, Subject& subject) {
  SizeFigures& figures = *subject.figures;
  const auto openStart = Clock::now();
  subject.database = db::Database::Attach(db::Database::Options::For(subject.path.string()));
  db::CheckAndUpgradeSchema(*subject.database);
  figures.openMs = MsSince(openStart);
  // The program's start proves the database with ProbeDatabase (counts of whole tables) after the upgrade.
  const auto probeStart = Clock::now();
  db::ProbeDatabase(*subject.database);
  figures.probeMs = MsSince(probeStart);
  if (figures.stored == 0) return;

  if (options.plans) PrintPlans(subject.path, figures.reportMonth);
  sdc::TFormCommon common(road.configuration, road.processor.state, *road.processor.http, road.messages, subject.database.get());
  cmd::TFormCmd commands(road.configuration, road.processor.state, *subject.database, common, road.printer,
                         road.application, road.clock);
  for (const char* report : kReports) {
    figures.reports.push_back(MeasureReport(road, commands, report, figures.reportMonth, options.reportRuns));
  }
  const std::size_t listed = figures.reports.back().lines;
  if (static_cast<std::int64_t>(listed) != figures.reportMonthInvoices) {
    throw std::runtime_error("INV-REPORT listed " + std::to_string(listed) + " invoices of " +
                             figures.reportMonth + ", the fill stored " +
                             std::to_string(figures.reportMonthInvoices));
  }
}

void MeasureAll(Road& road, const fs::path& folder, const Options& options, const std::string& tag,
                std::vector<SizeFigures>& all) {
  all.resize(options.sizes.size());
  std::vector<Subject> subjects;
  for (std::size_t i = 0; i < options.sizes.size(); ++i) {
    SizeFigures& figures = all[i];
    figures.stored = options.sizes[i];
    const fs::path path = folder / ("invoices-" + std::to_string(figures.stored) + ".fdb");
    PrepareDatabase(path, figures.stored, options, figures);
    std::fflush(stdout);
    if (!figures.skipped) subjects.push_back(Subject{path, &figures});
  }
  for (Subject& subject : subjects) OpenAndReport(road, options, subject);
  MeasureInvoices(road, subjects, options, tag);
  for (Subject& subject : subjects) {
    subject.database->Close();
    subject.figures->fileMb = static_cast<double>(fs::file_size(subject.path)) / (1 << 20);
    if (subject.figures->stored == 0) fs::remove(subject.path);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  const fs::path folder = fs::absolute(options.folder);
  fs::create_directories(folder);
  const std::string tag = "BIG" + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                                     std::chrono::system_clock::now().time_since_epoch())
                                                     .count());
  const fs::path exchange = folder / ("exchange-" + tag);
  std::printf("bench_big_database: scratch folder %s, %.1f GB free, load average %s\n", folder.c_str(),
              static_cast<double>(AvailableBytes(folder)) / (1ULL << 30), LoadAverage().c_str());
  std::printf("per database: %d invoices (after %d warm-up), %d runs of each report\n", options.invoices,
              options.warmUp, options.reportRuns);
  std::fflush(stdout);
  std::vector<SizeFigures> all;
  int status = 0;
  try {
    Road road(exchange);
    MeasureAll(road, folder, options, tag, all);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_big_database: %s\n", error.what());
    status = 1;
  }
  std::error_code ignored;
  fs::remove_all(exchange, ignored);
  PrintTable(all);
  std::printf("load average at the end %s\n", LoadAverage().c_str());
  return status;
}
