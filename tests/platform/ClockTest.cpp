#include <gtest/gtest.h>

#include "platform/Clock.h"

namespace qrv::platform {
namespace {

TEST(Clock, ManualClockWrapsLikeTheTickCount) {
  ManualClock clock;
  clock.ticks = 0xFFFFFFF0u;
  clock.Advance(0x20);
  EXPECT_EQ(clock.TickCount(), 0x10u);
  // Elapsed time across the wrap is still the unsigned difference.
  EXPECT_EQ(static_cast<uint32_t>(clock.TickCount() - 0xFFFFFFF0u), 0x20u);

  SystemClock system;
  const std::tm t = system.LocalTime();
  EXPECT_GE(t.tm_year, 100);
  EXPECT_LE(t.tm_hour, 23);
}

}  // namespace
}  // namespace qrv::platform
