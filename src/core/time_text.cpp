#include "core/time_text.h"

#include <cstdlib>

#include <fmt/format.h>

namespace telvano::core {

std::string LocalIsoTime(const platform::LocalDateTime& time) {
  std::string text = fmt::format("{:04d}-{:02d}-{:02d}T{:02d}:{:02d}:{:02d}", time.year, time.month, time.day,
                                 time.hour, time.minute, time.second);
  if (time.utcOffsetMinutes == 0) return text + "Z";
  const int offset = std::abs(time.utcOffsetMinutes);
  return text +
         fmt::format("{}{:02d}:{:02d}", time.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
}

std::string LocalIsoTime(const platform::Clock& clock) { return LocalIsoTime(clock.LocalNow()); }

std::string DateTimeText(const platform::LocalDateTime& time) {
  return fmt::format("{:04d}-{:02d}-{:02d} {:02d}:{:02d}:{:02d}", time.year, time.month, time.day, time.hour,
                     time.minute, time.second);
}

std::string DateText(const platform::LocalDateTime& time) {
  return fmt::format("{:04d}-{:02d}-{:02d}", time.year, time.month, time.day);
}

}  // namespace telvano::core
