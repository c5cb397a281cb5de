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
#ifdef _WIN32
  localtime_s(&out, &now);
#else
  localtime_r(&now, &out);
#endif
  return out;
}

}  // namespace qrv::platform
