#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace telvano::pfrsim {

using TimePoint = std::chrono::system_clock::time_point;

// The processor's wall clock: Central European time (CET, CEST from the last Sunday of March to the last Sunday
// of October, both switching at 01:00 UTC) unless a fixed UTC offset is configured.
class SimTime {
 public:
  explicit SimTime(std::optional<int> fixedOffsetMinutes = std::nullopt);

  int OffsetMinutes(TimePoint when) const;
  // "2023-06-06T13:21:15.504282+02:00": local time, up to seven fractional digits (trailing zeros dropped),
  // UTC offset.
  std::string IsoWithOffset(TimePoint when) const;
  // "06.06.2023. 13:21:15": the receipt's date and time, hour not zero-padded.
  std::string ReceiptText(TimePoint when) const;

  // ISO 8601 date-time as clients send it ("2024-01-15T10:30:00.000Z", "...+01:00", or without a zone, then
  // read as the processor's local time). Nullopt for anything else.
  std::optional<TimePoint> ParseIso(const std::string& text) const;

 private:
  std::optional<int> m_fixedOffsetMinutes;
};

// Milliseconds since the Unix epoch, as the verification URL carries them.
std::uint64_t MillisecondsSinceEpoch(TimePoint when);
// "2021-12-19T23:00:00Z" of a tax group's validFrom; nullopt when unreadable.
std::optional<TimePoint> ParseUtcIso(const std::string& text);

}  // namespace telvano::pfrsim
