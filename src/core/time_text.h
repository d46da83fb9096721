#pragma once

#include <string>

#include "platform/clock.h"

namespace telvano::core {

// "2024-03-01T08:15:02+01:00": ISO 8601 to the second with the zone offset, or "Z" when the offset is 0.
// The start and stop notices and the HELLO answers use it.
std::string LocalIsoTime(const platform::LocalDateTime& time);

// The same for the clock's current local time.
std::string LocalIsoTime(const platform::Clock& clock);

// "2024-03-01 08:15:02": the form of the log lines and the information line.
std::string DateTimeText(const platform::LocalDateTime& time);

// "2024-03-01".
std::string DateText(const platform::LocalDateTime& time);

}  // namespace telvano::core
