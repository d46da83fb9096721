#include "sim_time.h"

#include <charconv>
#include <cstdio>

namespace telvano::pfrsim {

namespace {

using namespace std::chrono;

bool ReadNumber(const std::string& text, std::size_t pos, std::size_t length, int& value) {
  if (pos + length > text.size()) return false;
  for (std::size_t i = pos; i < pos + length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  std::from_chars(text.data() + pos, text.data() + pos + length, value);
  return true;
}

std::string TwoDigits(unsigned value) {
  return value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}

struct Parsed {
  sys_time<nanoseconds> local;       // the written wall-clock time, as if it were UTC
  std::optional<int> offsetMinutes;  // nullopt: no zone written
};

// Reads "yyyy-mm-ddThh:mm:ss[.fffffff][Z|±hh:mm]".
std::optional<Parsed> ParseParts(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!ReadNumber(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !ReadNumber(text, 5, 2, month) ||
      text[7] != '-' || !ReadNumber(text, 8, 2, day) || (text[10] != 'T' && text[10] != ' ') ||
      !ReadNumber(text, 11, 2, hour) || text[13] != ':' || !ReadNumber(text, 14, 2, minute) || text[16] != ':' ||
      !ReadNumber(text, 17, 2, second)) {
    return std::nullopt;
  }
  const year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                            std::chrono::day(static_cast<unsigned>(day))};
  if (!date.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  std::size_t pos = 19;
  nanoseconds fraction{0};
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    long long scale = 100'000'000;
    const std::size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      fraction += nanoseconds((text[pos] - '0') * scale);
      scale /= 10;
      ++pos;
    }
    if (pos == start) return std::nullopt;
  }
  Parsed parsed;
  parsed.local = sys_days(date) + hours(hour) + minutes(minute) + seconds(second) + fraction;
  if (pos == text.size()) return parsed;
  if (text[pos] == 'Z' && pos + 1 == text.size()) {
    parsed.offsetMinutes = 0;
    return parsed;
  }
  int offsetHours = 0, offsetMinutes = 0;
  if ((text[pos] == '+' || text[pos] == '-') && text.size() == pos + 6 && ReadNumber(text, pos + 1, 2, offsetHours) &&
      text[pos + 3] == ':' && ReadNumber(text, pos + 4, 2, offsetMinutes)) {
    const int sign = text[pos] == '-' ? -1 : 1;
    parsed.offsetMinutes = sign * (offsetHours * 60 + offsetMinutes);
    return parsed;
  }
  return std::nullopt;
}

}  // namespace

SimTime::SimTime(std::optional<int> fixedOffsetMinutes) : m_fixedOffsetMinutes(fixedOffsetMinutes) {}

int SimTime::OffsetMinutes(TimePoint when) const {
  if (m_fixedOffsetMinutes) return *m_fixedOffsetMinutes;
  const auto utcDay = floor<days>(when);
  const year yearOfDate = year_month_day(utcDay).year();
  const auto summerStart = sys_days(yearOfDate / March / Sunday[last]) + hours(1);
  const auto summerEnd = sys_days(yearOfDate / October / Sunday[last]) + hours(1);
  return when >= summerStart && when < summerEnd ? 120 : 60;
}

std::string SimTime::IsoWithOffset(TimePoint when) const {
  const int offset = OffsetMinutes(when);
  const auto local = when + minutes(offset);
  const auto day = floor<days>(local);
  const year_month_day date(day);
  const hh_mm_ss time(floor<nanoseconds>(local - day));
  const auto ticks = duration_cast<nanoseconds>(time.subseconds()).count() / 100;  // 100 ns ticks
  // Seven digits of 100 ns without trailing zeros, and no point at all for a whole second.
  char digits[8];
  std::snprintf(digits, sizeof digits, "%07lld", static_cast<long long>(ticks));
  std::string fraction = digits;
  fraction.erase(fraction.find_last_not_of('0') + 1);
  if (!fraction.empty()) fraction.insert(0, ".");
  const int absolute = offset < 0 ? -offset : offset;
  return std::to_string(static_cast<int>(date.year())) + "-" + TwoDigits(static_cast<unsigned>(date.month())) + "-" +
         TwoDigits(static_cast<unsigned>(date.day())) + "T" + TwoDigits(static_cast<unsigned>(time.hours().count())) +
         ":" + TwoDigits(static_cast<unsigned>(time.minutes().count())) + ":" +
         TwoDigits(static_cast<unsigned>(time.seconds().count())) + fraction + (offset < 0 ? "-" : "+") +
         TwoDigits(static_cast<unsigned>(absolute / 60)) + ":" + TwoDigits(static_cast<unsigned>(absolute % 60));
}

std::string SimTime::ReceiptText(TimePoint when) const {
  const auto local = when + minutes(OffsetMinutes(when));
  const auto day = floor<days>(local);
  const year_month_day date(day);
  const hh_mm_ss time(floor<seconds>(local - day));
  return TwoDigits(static_cast<unsigned>(date.day())) + "." + TwoDigits(static_cast<unsigned>(date.month())) + "." +
         std::to_string(static_cast<int>(date.year())) + ". " + std::to_string(time.hours().count()) + ":" +
         TwoDigits(static_cast<unsigned>(time.minutes().count())) + ":" +
         TwoDigits(static_cast<unsigned>(time.seconds().count()));
}

std::optional<TimePoint> SimTime::ParseIso(const std::string& text) const {
  const auto parsed = ParseParts(text);
  if (!parsed) return std::nullopt;
  if (parsed->offsetMinutes) {
    return time_point_cast<system_clock::duration>(parsed->local - minutes(*parsed->offsetMinutes));
  }
  // A local time without a zone: the offset in force then (close enough around the switch hour).
  const auto guess = time_point_cast<system_clock::duration>(parsed->local);
  return guess - minutes(OffsetMinutes(guess - minutes(60)));
}

std::uint64_t MillisecondsSinceEpoch(TimePoint when) {
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(when.time_since_epoch()).count());
}

std::optional<TimePoint> ParseUtcIso(const std::string& text) {
  const auto parsed = ParseParts(text);
  if (!parsed) return std::nullopt;
  return time_point_cast<system_clock::duration>(parsed->local - minutes(parsed->offsetMinutes.value_or(0)));
}

}  // namespace telvano::pfrsim
