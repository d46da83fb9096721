#include "big_database_table.h"

#include <cstdio>
#include <iterator>

namespace telvano::bench {

namespace {

constexpr double kInvoiceRatioTarget = 1.5;
constexpr double kReportTargetMs = 1000;

}  // namespace

void PrintTable(const std::vector<SizeFigures>& all) {
  const SizeFigures* empty = nullptr;
  for (const auto& figures : all) {
    if (figures.stored == 0 && !figures.skipped) empty = &figures;
  }
  std::printf("\n%-9s %9s %8s %8s %9s %9s %9s %6s  %-22s %-22s %-22s\n", "stored", "fill s", "file MB",
              "open ms", "probe ms", "inv p50", "inv p90", "ratio", "X-REPORT ms p50/1st",
              "TAX-REPORT ms p50/1st", "INV-REPORT ms p50/1st");
  bool invoicesMet = true;
  bool reportsMet = true;
  for (const auto& f : all) {
    if (f.skipped) {
      std::printf("%-9lld skipped: %s\n", static_cast<long long>(f.stored), f.skipReason.c_str());
      continue;
    }
    char fill[32];
    std::snprintf(fill, sizeof fill, "%.1f%s", f.fillSeconds, f.reused ? "*" : "");
    char ratio[16] = "-";
    if (empty && empty->invoiceMedianMs > 0) {
      const double value = f.invoiceMedianMs / empty->invoiceMedianMs;
      std::snprintf(ratio, sizeof ratio, "%.2f", value);
      if (value > kInvoiceRatioTarget) invoicesMet = false;
    }
    std::printf("%-9lld %9s %8.0f %8.0f %9.0f %9.1f %9.1f %6s ", static_cast<long long>(f.stored), fill,
                f.fileMb, f.openMs, f.probeMs, f.invoiceMedianMs, f.invoiceP90Ms, ratio);
    for (std::size_t i = 0; i < std::size(kReports); ++i) {
      char cell[40] = "-";
      if (i < f.reports.size()) {
        std::snprintf(cell, sizeof cell, "%.0f / %.0f (%zu lines)", f.reports[i].medianMs,
                      f.reports[i].firstMs, f.reports[i].lines);
        if (f.reports[i].medianMs >= kReportTargetMs || f.reports[i].firstMs >= kReportTargetMs)
          reportsMet = false;
      }
      std::printf(" %-22s", cell);
    }
    std::printf("\n");
  }
  for (const auto& f : all) {
    if (!f.reportMonth.empty()) {
      std::printf("reports of %lld: month %s with %lld invoices\n", static_cast<long long>(f.stored),
                  f.reportMonth.c_str(), static_cast<long long>(f.reportMonthInvoices));
    }
  }
  std::printf("* reused file: the time of the run that filled it\n");
  std::printf("target invoice p50 <= %.1f x empty database: %s\n", kInvoiceRatioTarget,
              empty ? (invoicesMet ? "met" : "MISSED") : "no empty database measured");
  std::printf("target every report < %.0f ms: %s\n", kReportTargetMs, reportsMet ? "met" : "MISSED");
}

}  // namespace telvano::bench
