#pragma once

// What bench_big_database measures of each database size, and the table it prints at the end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace telvano::bench {

inline constexpr const char* kReports[] = {"X-REPORT", "TAX-REPORT", "INV-REPORT"};

struct ReportFigures {
  double firstMs = 0;
  double medianMs = 0;
  std::size_t lines = 0;
};

struct SizeFigures {
  std::int64_t stored = 0;
  bool reused = false;
  bool skipped = false;
  std::string skipReason;
  double fillSeconds = 0;
  std::int64_t rows = 0;
  double fileMb = 0;
  double openMs = 0;
  double probeMs = 0;
  double invoiceMedianMs = 0;
  double invoiceP90Ms = 0;
  std::string reportMonth;
  std::int64_t reportMonthInvoices = 0;
  std::vector<ReportFigures> reports;
};

// One line per size (open, probe, invoice and report times), then whether the targets were met.
void PrintTable(const std::vector<SizeFigures>& all);

}  // namespace telvano::bench
