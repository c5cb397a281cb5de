// The settings file parser over arbitrary text: whatever parses must format and parse back the same.
#include <cstdlib>
#include <string_view>

#include "platform/Registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto doc = qrv::platform::ParseRegFile({reinterpret_cast<const char*>(data), size});
  if (doc) {
    const auto again = qrv::platform::ParseRegFile(qrv::platform::FormatRegFile(*doc));
    if (!again || !(*again == *doc)) std::abort();
  }
  return 0;
}
