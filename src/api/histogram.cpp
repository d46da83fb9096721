#include "api/histogram.h"

#include <cmath>
#include <cstdio>

namespace telvano::api {

Histogram::Histogram()
    : m_bounds{0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60, 120}, m_buckets(m_bounds.size(), 0) {}

void Histogram::Observe(double seconds) {
  for (std::size_t i = 0; i < m_bounds.size(); ++i) {
    if (seconds <= m_bounds[i]) {
      ++m_buckets[i];
      break;
    }
  }
  m_sum += seconds;
  ++m_count;
}

void Histogram::Render(std::string& out, std::string_view name, std::string_view labels) const {
  const std::string prefix = std::string(labels) + (labels.empty() ? "" : ",");
  std::uint64_t cumulative = 0;
  for (std::size_t i = 0; i < m_bounds.size(); ++i) {
    cumulative += m_buckets[i];
    out += std::string(name) + "_bucket{" + prefix + "le=\"" + MetricNumber(m_bounds[i]) + "\"} " +
           std::to_string(cumulative) + "\n";
  }
  out += std::string(name) + "_bucket{" + prefix + "le=\"+Inf\"} " + std::to_string(m_count) + "\n";
  const std::string braces = labels.empty() ? "" : "{" + std::string(labels) + "}";
  char sum[40];
  std::snprintf(sum, sizeof sum, "%.6f", m_sum);
  out += std::string(name) + "_sum" + braces + " " + sum + "\n";
  out += std::string(name) + "_count" + braces + " " + std::to_string(m_count) + "\n";
}

std::string MetricNumber(double value) {
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

}  // namespace telvano::api
