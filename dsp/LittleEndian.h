// Little-endian loads and stores of 32- and 64-bit words, for every byte format the plug-in reads or writes
// (preset blobs, state chunks, settings values, parameter messages, host chunks). Callers check that the
// bytes lie inside their data. Stateless; any thread.
#pragma once

#include <cstdint>
#include <vector>

namespace qrv::le {

constexpr uint32_t Load32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
constexpr uint64_t Load64(const uint8_t* p) { return Load32(p) | static_cast<uint64_t>(Load32(p + 4)) << 32; }

constexpr void Store32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
constexpr void Store64(uint8_t* p, uint64_t v) {
  Store32(p, static_cast<uint32_t>(v));
  Store32(p + 4, static_cast<uint32_t>(v >> 32));
}

inline void Append32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  Store32(b, v);
  out.insert(out.end(), b, b + 4);
}

}  // namespace qrv::le
