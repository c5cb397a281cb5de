// Millisecond tick count and local time. Main (GUI) thread; SystemClock is safe from any thread.
#pragma once

#include <cstdint>
#include <ctime>

namespace qrv::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start, wrapping at 2^32 (about 49.7 days).
  virtual uint32_t TickCount() = 0;
  // The current local time.
  virtual std::tm LocalTime() = 0;
};

// steady_clock for ticks, localtime_r (Windows: localtime_s) for local time.
class SystemClock final : public Clock {
 public:
  uint32_t TickCount() override;
  std::tm LocalTime() override;
};

// A clock that moves only when told; for tests.
class ManualClock final : public Clock {
 public:
  uint32_t TickCount() override { return ticks; }
  std::tm LocalTime() override { return local; }
  void Advance(uint32_t ms) { ticks += ms; }

  uint32_t ticks = 0;
  std::tm local{};
};

}  // namespace qrv::platform
