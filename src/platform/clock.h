#pragma once

#include <chrono>

namespace telvano::platform {

// A local calendar time with the zone offset that was in force at that instant.
struct LocalDateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int utcOffsetMinutes = 0;  // east of UTC is positive
};

// Every wait and every reading of the time goes through a Clock, so tests run prescribed waits in zero time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::chrono::system_clock::time_point Now() const = 0;
  virtual LocalDateTime LocalNow() const = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// The real clock: the system time in the process's local zone (TZ), real sleeps.
class SystemClock final : public Clock {
 public:
  std::chrono::system_clock::time_point Now() const override;
  LocalDateTime LocalNow() const override;
  void Sleep(std::chrono::milliseconds duration) override;
};

// Converts an instant to local calendar time with the zone of the process.
LocalDateTime ToLocal(std::chrono::system_clock::time_point instant);

// A clock for tests: time stands still until advanced; Sleep advances it and records the wait.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(LocalDateTime start = {2024, 3, 1, 8, 15, 2, 0, 60});
  std::chrono::system_clock::time_point Now() const override;
  LocalDateTime LocalNow() const override;
  void Sleep(std::chrono::milliseconds duration) override;
  void Advance(std::chrono::milliseconds duration);
  void Set(LocalDateTime local);
  std::chrono::milliseconds TotalSlept() const { return m_totalSlept; }

 private:
  LocalDateTime m_local;
  std::chrono::milliseconds m_totalSlept{0};
};

}  // namespace telvano::platform
