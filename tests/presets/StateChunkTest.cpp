// The 'All ' chunk's prefix and its whole-blob check, as both host bindings read them.
#include "presets/StateChunk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "dsp/LittleEndian.h"
#include "presets/PresetBlob.h"

namespace qrv {
namespace {

std::vector<uint8_t> Chunk(const std::vector<uint8_t>& blob) {
  std::vector<uint8_t> chunk(kStateChunkPrefixSize);
  WriteStateChunkPrefix(std::span<uint8_t, kStateChunkPrefixSize>(chunk.data(), kStateChunkPrefixSize));
  chunk.insert(chunk.end(), blob.begin(), blob.end());
  return chunk;
}

std::vector<uint8_t> HostState() {
  const std::array<PresetRecord, 3> programs = {FactoryRecord(3), FactoryRecord(0), FactoryRecord(0)};
  return WriteHostStateBlob(programs, 5, 150);
}

TEST(StateChunk, PrefixIsTheVersionWordThenTheProductCodeLittleEndian) {
  const std::vector<uint8_t> chunk = Chunk({});
  ASSERT_EQ(chunk.size(), kStateChunkPrefixSize);
  EXPECT_EQ((std::vector<uint8_t>(chunk.begin(), chunk.begin() + 4)), (std::vector<uint8_t>{0, 0, 0, 2}));
  EXPECT_EQ(le::Load32(chunk.data() + 4), kProductCode);
  EXPECT_TRUE(HasStateChunkPrefix(chunk));
}

TEST(StateChunk, TheCodeIsTakenInEitherByteOrderAndNothingElse) {
  std::vector<uint8_t> chunk = Chunk(HostState());
  std::reverse(chunk.begin() + 4, chunk.begin() + 8);
  EXPECT_TRUE(HasStateChunkPrefix(chunk));
  EXPECT_TRUE(StateChunkIsWhole(chunk));
  chunk[5] ^= 0x20;
  EXPECT_FALSE(HasStateChunkPrefix(chunk));
  EXPECT_FALSE(StateChunkIsWhole(chunk));
  EXPECT_TRUE(StateChunkBlobIsWhole(chunk));  // the blob behind a foreign prefix still reads
  std::vector<uint8_t> shortChunk = Chunk({});
  shortChunk.pop_back();
  EXPECT_FALSE(HasStateChunkPrefix(shortChunk));
  EXPECT_TRUE(StateChunkBlob(shortChunk).empty());
  EXPECT_FALSE(HasStateChunkPrefix({}));
}

TEST(StateChunk, OnlyAWholeBlobIsWholeAndTheCheckChangesNothing) {
  const std::vector<uint8_t> blob = HostState();
  const std::vector<uint8_t> chunk = Chunk(blob);
  ASSERT_TRUE(StateChunkIsWhole(chunk));
  EXPECT_EQ(StateChunkBlob(chunk).size(), blob.size());
  EXPECT_TRUE(std::equal(blob.begin(), blob.end(), StateChunkBlob(chunk).begin()));
  // Every cut through the blob is refused, down to a prefix alone.
  for (std::size_t n = kStateChunkPrefixSize; n < chunk.size(); n += 7) {
    const std::vector<uint8_t> cut(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(StateChunkIsWhole(cut)) << n;
  }
  // A chunk claiming a negative size is not walked backwards.
  std::vector<uint8_t> bad = chunk;
  le::Store32(bad.data() + kStateChunkPrefixSize + kBlobHeaderSize + 4, 0xfffffff0u);
  EXPECT_FALSE(StateChunkIsWhole(bad));
}

}  // namespace
}  // namespace qrv
