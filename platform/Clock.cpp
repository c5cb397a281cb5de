#include "platform/Clock.h"

#include <chrono>

namespace qrv::platform {

uint32_t SystemClock::TickCount() {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<uint32_t>(static_cast<uint64_t>(ms.count()));
}

std::tm SystemClock::LocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm out{};
  localtime_r(&now, &out);
  return out;
}

}  // namespace qrv::platform
