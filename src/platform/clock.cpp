#include "platform/clock.h"

#include <ctime>
#include <thread>

namespace telvano::platform {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long yy = static_cast<long long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

std::chrono::system_clock::time_point FromLocal(const LocalDateTime& t) {
  const long long days = DaysFromCivil(t.year, t.month, t.day);
  const long long seconds = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second -
                            static_cast<long long>(t.utcOffsetMinutes) * 60;
  return std::chrono::system_clock::time_point(std::chrono::seconds(seconds)) +
         std::chrono::milliseconds(t.millisecond);
}

LocalDateTime FromInstant(std::chrono::system_clock::time_point instant, int offsetMinutes) {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(instant.time_since_epoch()).count() +
                  static_cast<long long>(offsetMinutes) * 60000;
  long long days = ms / 86400000;
  long long rest = ms % 86400000;
  if (rest < 0) {
    rest += 86400000;
    --days;
  }
  LocalDateTime t;
  CivilFromDays(days, t.year, t.month, t.day);
  t.hour = static_cast<int>(rest / 3600000);
  t.minute = static_cast<int>(rest / 60000 % 60);
  t.second = static_cast<int>(rest / 1000 % 60);
  t.millisecond = static_cast<int>(rest % 1000);
  t.utcOffsetMinutes = offsetMinutes;
  return t;
}

}  // namespace

LocalDateTime ToLocal(std::chrono::system_clock::time_point instant) {
  using namespace std::chrono;
  const std::time_t seconds = system_clock::to_time_t(instant);
  std::tm tm{};
  localtime_r(&seconds, &tm);
  return FromInstant(instant, static_cast<int>(tm.tm_gmtoff / 60));
}

std::chrono::system_clock::time_point SystemClock::Now() const { return std::chrono::system_clock::now(); }

LocalDateTime SystemClock::LocalNow() const { return ToLocal(Now()); }

void SystemClock::Sleep(std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); }

ManualClock::ManualClock(LocalDateTime start) : m_local(start) {}

std::chrono::system_clock::time_point ManualClock::Now() const { return FromLocal(m_local); }

LocalDateTime ManualClock::LocalNow() const { return m_local; }

void ManualClock::Sleep(std::chrono::milliseconds duration) {
  m_totalSlept += duration;
  Advance(duration);
}

void ManualClock::Advance(std::chrono::milliseconds duration) {
  m_local = FromInstant(FromLocal(m_local) + duration, m_local.utcOffsetMinutes);
}

void ManualClock::Set(LocalDateTime local) { m_local = local; }

}  // namespace telvano::platform
