// The host's 'All ' state chunk: an eight-byte prefix (version word, then the product code, both
// little-endian) before the host-state blob of PresetBlob.h. The one place that writes and checks that
// prefix, so that the AAX binding and LV2 sessions read the same bytes the same way. Stateless; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qrv {

inline constexpr uint32_t kStateChunkVersion = 0x02000000u;
inline constexpr std::size_t kStateChunkPrefixSize = 8;
inline constexpr std::size_t kStateChunkCodeOffset = 4;

// Writes the prefix into the first eight bytes of out.
void WriteStateChunkPrefix(std::span<uint8_t, kStateChunkPrefixSize> out);

// Whether chunk starts with a prefix of ours: the product code in either byte order (the version word is
// not checked).
bool HasStateChunkPrefix(std::span<const uint8_t> chunk);

// The host-state blob behind the prefix; empty for a chunk shorter than the prefix.
std::span<const uint8_t> StateChunkBlob(std::span<const uint8_t> chunk);

// Whether the blob behind the prefix restores completely (restored into scratch records; nothing changes).
bool StateChunkBlobIsWhole(std::span<const uint8_t> chunk);

// A chunk of ours that is whole: our prefix and a blob that restores completely.
inline bool StateChunkIsWhole(std::span<const uint8_t> chunk) {
  return HasStateChunkPrefix(chunk) && StateChunkBlobIsWhole(chunk);
}

}  // namespace qrv
