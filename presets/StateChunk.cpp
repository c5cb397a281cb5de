#include "presets/StateChunk.h"

#include <array>

#include "dsp/LittleEndian.h"
#include "presets/PresetBlob.h"

namespace qrv {

void WriteStateChunkPrefix(std::span<uint8_t, kStateChunkPrefixSize> out) {
  le::Store32(out.data(), kStateChunkVersion);
  le::Store32(out.data() + kStateChunkCodeOffset, kProductCode);
}

bool HasStateChunkPrefix(std::span<const uint8_t> chunk) {
  if (chunk.size() < kStateChunkPrefixSize) return false;
  const uint32_t code = le::Load32(chunk.data() + kStateChunkCodeOffset);
  return code == kProductCode || code == __builtin_bswap32(kProductCode);
}

std::span<const uint8_t> StateChunkBlob(std::span<const uint8_t> chunk) {
  return chunk.size() < kStateChunkPrefixSize ? std::span<const uint8_t>() : chunk.subspan(kStateChunkPrefixSize);
}

bool StateChunkBlobIsWhole(std::span<const uint8_t> chunk) {
  std::array<PresetRecord, kProgramCount> scratch{};
  HostStateHeader header;
  return RestoreHostStateBlob(StateChunkBlob(chunk), scratch, FactoryRecord(0), header) == BlobStatus::Ok;
}

}  // namespace qrv
