#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace telvano::api {

// A Prometheus histogram of seconds: cumulative buckets, their sum and count. Not thread-safe by itself.
class Histogram {
 public:
  Histogram();  // buckets from 5 ms to 120 s
  void Observe(double seconds);
  // The _bucket, _sum and _count lines of `name` with `labels` ("road=\"api\"", or empty).
  void Render(std::string& out, std::string_view name, std::string_view labels) const;
  std::uint64_t Count() const { return m_count; }

 private:
  std::vector<double> m_bounds;
  std::vector<std::uint64_t> m_buckets;  // not cumulative: each holds the values up to its bound
  double m_sum = 0;
  std::uint64_t m_count = 0;
};

// A number as Prometheus' text format writes it ("0.25", "3", "+Inf").
std::string MetricNumber(double value);

}  // namespace telvano::api
