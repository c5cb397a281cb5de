#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "presets/PresetBlob.h"
#include "tests/presets/PresetTestSupport.h"

namespace qrv {
namespace {

using test::Get32;
using test::MakeRecord;
using test::Put32;
using test::PutFloat;
using test::ToBigEndian;
using test::ValueOffset;

std::array<PresetRecord, kProgramCount> Programs() {
  std::array<PresetRecord, kProgramCount> p;
  for (int i = 0; i < kProgramCount; ++i) p[static_cast<std::size_t>(i)] = FactoryRecord(i);
  return p;
}

TEST(PresetBlob, SinglePresetLayout) {
  const PresetRecord r = MakeRecord("Warm Bus", 0.2f);
  const std::vector<uint8_t> blob = WriteSinglePresetBlob(r, 7, 125);
  ASSERT_EQ(blob.size(), 433u);
  EXPECT_EQ(SinglePresetBlobSize(), 433u);
  const uint8_t head[] = {'G', 'W', 'V', 'Q', 0x22, 0x00, 0x01, 0x00, 0x02};
  EXPECT_TRUE(std::equal(std::begin(head), std::end(head), blob.begin()));
  EXPECT_EQ(Get32(blob, 9), 12u);    // parameter count
  EXPECT_EQ(Get32(blob, 13), 8u);    // chunks
  EXPECT_EQ(Get32(blob, 17), 0u);    // selected record
  EXPECT_EQ(Get32(blob, 21), 392u);  // data size
  EXPECT_EQ(Get32(blob, 25), 13u);
  EXPECT_EQ(Get32(blob, 29), 7u);
  EXPECT_EQ(Get32(blob, 33), 125u);
  EXPECT_EQ(Get32(blob, 37), 0u);
  // Name chunk, then one parameter chunk per stored slot in ascending order.
  EXPECT_EQ(Get32(blob, 41), 0u);
  EXPECT_EQ(Get32(blob, 45), 156u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&blob[53])), "Warm Bus");
  std::size_t pos = 41 + 168;
  for (int slot : {0, 2, 3, 4, 5, 6, 7}) {
    EXPECT_EQ(Get32(blob, pos), 1u);
    EXPECT_EQ(Get32(blob, pos + 4), 20u);
    EXPECT_EQ(Get32(blob, pos + 12), static_cast<uint32_t>(slot));
    EXPECT_EQ(std::bit_cast<float>(Get32(blob, pos + 24)), r.values[slot]);
    EXPECT_EQ(pos + 24, ValueOffset(slot));
    pos += 32;
  }
  EXPECT_EQ(pos, blob.size());
}

TEST(PresetBlob, EveryReaderTakesBothByteOrders) {
  const PresetRecord written = MakeRecord("Round Trip", 0.3f);
  const std::vector<uint8_t> le = WriteSinglePresetBlob(written, 0, 100);
  const std::vector<uint8_t> be = ToBigEndian(le);
  ASSERT_EQ(std::string(be.begin(), be.begin() + 4), "QVWG");

  for (const auto* blob : {&le, &be}) {
    PresetRecord file = FactoryRecord(0), favourite = FactoryRecord(0), clip = FactoryRecord(0);
    ASSERT_EQ(ReadPresetFileBytes(*blob, file), BlobStatus::Ok);
    ASSERT_EQ(ReadFavoriteBlob(*blob, favourite), BlobStatus::Ok);
    ASSERT_EQ(ReadClipboardBlob(*blob, clip), BlobStatus::Ok);
    for (int i = 0; i < static_cast<int>(kPresetValueCount); ++i) {
      const float expected = IsStoredSlot(i) ? written.values[i] : FactoryRecord(0).values[i];
      EXPECT_EQ(file.values[i], expected) << i;
      EXPECT_EQ(favourite.values[i], expected) << i;
      EXPECT_EQ(clip.values[i], expected) << i;
    }
    EXPECT_EQ(file.Name(), "Round Trip");
    EXPECT_EQ(favourite.Name(), "Round Trip");
  }
}

TEST(PresetBlob, HostStateRoundTripsInBothByteOrders) {
  auto source = Programs();
  source[0] = MakeRecord("Current", 0.1f);
  source[1] = MakeRecord("Second", 0.4f);
  source[2] = MakeRecord("", 0.6f);
  const std::vector<uint8_t> le = WriteHostStateBlob(std::span<const PresetRecord>(source.data(), 3), 5, 150);
  ASSERT_EQ(le.size(), 1217u);
  EXPECT_EQ(HostStateBlobSize(), 1217u);
  EXPECT_EQ(le[4], 0x38);
  EXPECT_EQ(Get32(le, 13), 24u);
  EXPECT_EQ(Get32(le, 21), 1176u);

  for (const auto& blob : {le, ToBigEndian(le)}) {
    auto programs = Programs();
    HostStateHeader header;
    ASSERT_EQ(RestoreHostStateBlob(blob, programs, FactoryRecord(0), header), BlobStatus::Ok);
    EXPECT_EQ(header.hostStateWord, 5);
    EXPECT_EQ(header.zoom, 150);
    EXPECT_EQ(header.selected, 0);
    EXPECT_EQ(programs[0].Name(), "Current");
    EXPECT_EQ(programs[1].Name(), "Second");
    // An empty name keeps the initial preset's name.
    EXPECT_EQ(programs[2].Name(), "Default");
    for (int i : {0, 2, 3, 4, 5, 6, 7}) {
      EXPECT_EQ(programs[0].values[i], source[0].values[i]);
      EXPECT_EQ(programs[2].values[i], source[2].values[i]);
    }
    // Slots that do not travel come from the initial preset.
    EXPECT_EQ(programs[1].values[1], FactoryRecord(0).values[1]);
    EXPECT_EQ(programs[3], FactoryRecord(3));
  }
}

TEST(PresetBlob, OutOfRangeValueTakesTheDefaultInAFileAndRejectsAFavourite) {
  std::vector<uint8_t> blob = WriteSinglePresetBlob(MakeRecord("Loud", 0.2f), 0, 100);
  PutFloat(blob, ValueOffset(kSlotRatio), 1.5f);

  PresetRecord file = MakeRecord("before", 0.7f);
  ASSERT_EQ(ReadPresetFileBytes(blob, file), BlobStatus::Ok);
  EXPECT_EQ(file.values[kSlotRatio], static_cast<float>(GetParameterDefault(kSlotRatio)));
  EXPECT_FLOAT_EQ(file.values[kSlotTime], 0.2f + 0.04f);

  const PresetRecord before = MakeRecord("before", 0.7f);
  for (auto reader : {&ReadFavoriteBlob, &ReadClipboardBlob}) {
    PresetRecord r = before;
    EXPECT_EQ(reader(blob, r), BlobStatus::ValueOutOfRange);
    EXPECT_EQ(r, before);  // name included
  }

  PutFloat(blob, ValueOffset(kSlotRatio), std::numeric_limits<float>::quiet_NaN());
  PutFloat(blob, ValueOffset(kSlotOutput), -0.25f);
  PresetRecord nan = before;
  ASSERT_EQ(ReadPresetFileBytes(blob, nan), BlobStatus::Ok);
  EXPECT_EQ(nan.values[kSlotRatio], 0.5f);
  EXPECT_EQ(nan.values[kSlotOutput], 0.15f);
  PresetRecord r = before;
  EXPECT_EQ(ReadFavoriteBlob(blob, r), BlobStatus::ValueOutOfRange);
}

TEST(PresetBlob, FileReaderRefusesWhatIsNotAPreset) {
  const std::vector<uint8_t> good = WriteSinglePresetBlob(MakeRecord("x", 0.2f), 0, 100);
  const PresetRecord before = MakeRecord("before", 0.6f);
  auto read = [&](const std::vector<uint8_t>& b) {
    PresetRecord r = before;
    const BlobStatus s = ReadPresetFileBytes(b, r);
    if (s != BlobStatus::Ok) {
      EXPECT_EQ(r, before);
    }
    return s;
  };
  EXPECT_EQ(read({'G', 'W', 'V', 'Q'}), BlobStatus::TooShort);
  auto kind = good;
  kind[4] = 0x38;
  EXPECT_EQ(read(kind), BlobStatus::WrongKind);
  auto magic = good;
  magic[0] = 'X';
  EXPECT_EQ(read(magic), BlobStatus::BadMagic);
  EXPECT_EQ(read(std::vector<uint8_t>(good.begin(), good.begin() + 40)), BlobStatus::TooShort);

  // Without a "Process" chunk the file does not count as loaded: drop the chunk by shrinking the count
  // to the name chunk alone.
  auto noProcess = good;
  Put32(noProcess, 13, 1);
  EXPECT_EQ(read(noProcess), BlobStatus::MissingProcess);

  // A parameter index above 11 is ignored.
  auto odd = good;
  Put32(odd, ValueOffset(kSlotValveLevel) - 12, 40);
  PresetRecord r = before;
  ASSERT_EQ(ReadPresetFileBytes(odd, r), BlobStatus::Ok);
  EXPECT_EQ(r.values[kSlotValveLevel], before.values[kSlotValveLevel]);
}

TEST(PresetBlob, NoReaderTrustsCountsOrSizes) {
  const std::vector<uint8_t> single = WriteSinglePresetBlob(MakeRecord("x", 0.2f), 0, 100);
  auto programs0 = Programs();
  const std::vector<uint8_t> host = WriteHostStateBlob(std::span<const PresetRecord>(programs0.data(), 3), 1, 100);
  const PresetRecord before = MakeRecord("before", 0.6f);

  struct Case {
    const char* what;
    std::vector<uint8_t> blob;
  };
  std::vector<Case> cases;
  {
    auto b = single;  // one chunk more than the data holds
    Put32(b, 13, 9);
    cases.push_back({"count past data", b});
  }
  {
    auto b = single;  // a payload size that runs past the end
    Put32(b, ValueOffset(kSlotOutput) - 20, 100000);
    cases.push_back({"payload past data", b});
  }
  {
    auto b = single;  // a negative payload size would walk backwards
    Put32(b, ValueOffset(kSlotOutput) - 20, static_cast<uint32_t>(-32));
    cases.push_back({"negative payload", b});
  }
  {
    auto b = single;  // a name chunk too small to hold a name
    Put32(b, 45, 4);
    cases.push_back({"short name chunk", b});
  }
  {
    auto b = single;  // a negative data size
    Put32(b, 21, static_cast<uint32_t>(-1));
    cases.push_back({"negative data size", b});
  }
  for (const Case& c : cases) {
    PresetRecord file = before, fav = before, clip = before;
    EXPECT_NE(ReadPresetFileBytes(c.blob, file), BlobStatus::Ok) << c.what;
    EXPECT_NE(ReadFavoriteBlob(c.blob, fav), BlobStatus::Ok) << c.what;
    EXPECT_NE(ReadClipboardBlob(c.blob, clip), BlobStatus::Ok) << c.what;
    EXPECT_EQ(file, before) << c.what;
    EXPECT_EQ(fav, before) << c.what;
    EXPECT_EQ(clip, before) << c.what;
  }

  // A data size larger than what follows the header: a file is read as far as it goes and loads when
  // every chunk is there; a favourite or clipboard value must hold all the data it claims.
  {
    auto b = single;
    Put32(b, 21, 5000);
    PresetRecord file = before, fav = before, clip = before;
    ASSERT_EQ(ReadPresetFileBytes(b, file), BlobStatus::Ok);
    EXPECT_EQ(file.Name(), "x");
    EXPECT_FLOAT_EQ(file.values[kSlotValveLevel], 0.27f);
    EXPECT_EQ(ReadFavoriteBlob(b, fav), BlobStatus::BadDataSize);
    EXPECT_EQ(ReadClipboardBlob(b, clip), BlobStatus::BadDataSize);
    EXPECT_EQ(fav, before);
    EXPECT_EQ(clip, before);
  }

  // A favourite or clipboard blob must carry data: a bare header with no chunks is refused, although
  // it claims nothing that is missing. The file reader refuses it for want of "Process".
  {
    std::vector<uint8_t> bare(single.begin(), single.begin() + static_cast<std::ptrdiff_t>(kBlobHeaderSize));
    Put32(bare, 13, 0);
    Put32(bare, 21, 0);
    PresetRecord fav = before, clip = before, file = before;
    EXPECT_EQ(ReadFavoriteBlob(bare, fav), BlobStatus::BadDataSize);
    EXPECT_EQ(ReadClipboardBlob(bare, clip), BlobStatus::BadDataSize);
    EXPECT_EQ(ReadPresetFileBytes(bare, file), BlobStatus::MissingProcess);
    EXPECT_EQ(fav, before);
    // With one byte of data and no chunks the blob reads, and changes nothing.
    bare.push_back(0);
    Put32(bare, 21, 1);
    EXPECT_EQ(ReadFavoriteBlob(bare, fav), BlobStatus::Ok);
    EXPECT_EQ(fav, before);
  }

  // Host state: a broken chunk anywhere means nothing is applied, the records before it included.
  auto brokenHost = host;
  Put32(brokenHost, 13, 25);
  auto programs = Programs();
  programs[0] = before;
  HostStateHeader header{-3, -3, -3};
  EXPECT_EQ(RestoreHostStateBlob(brokenHost, programs, FactoryRecord(0), header), BlobStatus::TruncatedChunk);
  EXPECT_EQ(programs[0], before);
  EXPECT_EQ(header.hostStateWord, -3);

  // Every cut of a valid blob is refused cleanly; under the sanitizers this also proves that no reader
  // looks past the bytes it was given.
  for (std::size_t n = 0; n < single.size(); ++n) {
    const std::vector<uint8_t> cut(single.begin(), single.begin() + static_cast<std::ptrdiff_t>(n));
    PresetRecord r = before;
    EXPECT_NE(ReadPresetFileBytes(cut, r), BlobStatus::Ok) << n;
    EXPECT_NE(ReadFavoriteBlob(cut, r), BlobStatus::Ok) << n;
    EXPECT_EQ(r, before);
  }
  for (std::size_t n = 0; n < host.size(); ++n) {
    const std::vector<uint8_t> cut(host.begin(), host.begin() + static_cast<std::ptrdiff_t>(n));
    auto p = Programs();
    HostStateHeader h;
    EXPECT_NE(RestoreHostStateBlob(cut, p, FactoryRecord(0), h), BlobStatus::Ok) << n;
    HostStateEqualsDefaults(cut);
  }
}

TEST(PresetBlob, HostStateSkipsForeignTagsAndMapsTheSelectedRecord) {
  auto source = Programs();
  source[0] = MakeRecord("Zero", 0.1f);
  source[1] = MakeRecord("One", 0.2f);
  source[2] = MakeRecord("Two", 0.3f);
  std::vector<uint8_t> blob = WriteHostStateBlob(std::span<const PresetRecord>(source.data(), 3), 0, 100);
  // Give record 1's chunks the tag 40, and choose record 2.
  std::size_t pos = kBlobHeaderSize;
  for (int c = 0; c < 24; ++c) {
    if (c >= 8 && c < 16) Put32(blob, pos + 8, 40);
    pos += kChunkHeaderSize + Get32(blob, pos + 4);
  }
  Put32(blob, 17, 2);
  auto programs = Programs();
  HostStateHeader header;
  ASSERT_EQ(RestoreHostStateBlob(blob, programs, FactoryRecord(0), header), BlobStatus::Ok);
  EXPECT_EQ(programs[1], FactoryRecord(1));
  EXPECT_EQ(programs[2].Name(), "Two");
  EXPECT_EQ(header.selected, 2);

  Put32(blob, 17, 50);
  ASSERT_EQ(RestoreHostStateBlob(blob, programs, FactoryRecord(0), header), BlobStatus::Ok);
  EXPECT_EQ(header.selected, 0);

  // Values are clamped into 0..1, NaN becomes 0.
  PutFloat(blob, kBlobHeaderSize + 168 + 32 * 1 + 24, 7.0f);  // record 0, slot 2
  PutFloat(blob, kBlobHeaderSize + 168 + 32 * 2 + 24, std::numeric_limits<float>::quiet_NaN());
  ASSERT_EQ(RestoreHostStateBlob(blob, programs, FactoryRecord(0), header), BlobStatus::Ok);
  EXPECT_EQ(programs[0].values[2], 1.0f);
  EXPECT_EQ(programs[0].values[3], 0.0f);

  auto negative = blob;
  Put32(negative, 13, static_cast<uint32_t>(-1));
  EXPECT_EQ(RestoreHostStateBlob(negative, programs, FactoryRecord(0), header), BlobStatus::BadChunkCount);
}

TEST(PresetBlob, ComparisonWithDefaults) {
  auto programs = Programs();
  auto blobOf = [&](const PresetRecord& r0) {
    programs[0] = r0;
    return WriteHostStateBlob(std::span<const PresetRecord>(programs.data(), 3), 0, 100);
  };
  EXPECT_TRUE(HostStateEqualsDefaults(blobOf(FactoryRecord(0))));
  EXPECT_TRUE(HostStateEqualsDefaults(ToBigEndian(blobOf(FactoryRecord(0)))));
  PresetRecord changed = FactoryRecord(0);
  changed.values[kSlotCompression] = 0.7f;
  EXPECT_FALSE(HostStateEqualsDefaults(blobOf(changed)));
  EXPECT_FALSE(HostStateEqualsDefaults(ToBigEndian(blobOf(changed))));
  // Below the resolution of 1e-6, and outside record 0, nothing differs.
  PresetRecord close = FactoryRecord(0);
  close.values[kSlotOutput] = 0.1500001f;
  EXPECT_TRUE(HostStateEqualsDefaults(blobOf(close)));
  programs[1] = changed;
  EXPECT_TRUE(HostStateEqualsDefaults(blobOf(FactoryRecord(0))));

  auto many = blobOf(changed);
  Put32(many, 13, 141);
  EXPECT_TRUE(HostStateEqualsDefaults(many));
  auto foreign = blobOf(changed);
  foreign[0] = 'X';
  EXPECT_TRUE(HostStateEqualsDefaults(foreign));
  // A payload that runs past the end stops the walk before the changed value.
  auto broken = blobOf(changed);
  Put32(broken, kBlobHeaderSize + 4, 100000);
  EXPECT_TRUE(HostStateEqualsDefaults(broken));
  // The walk goes on while each chunk header lies inside the blob: a parameter chunk whose own fields
  // are present still counts, although its size claims more than is left.
  auto oversized = blobOf(changed);
  Put32(oversized, ValueOffset(kSlotCompression) - 20, 100000);
  EXPECT_FALSE(HostStateEqualsDefaults(oversized));
  // ... but a chunk whose value lies past the end is not read.
  const std::vector<uint8_t> cut(oversized.begin(), oversized.begin() + static_cast<std::ptrdiff_t>(
                                                        ValueOffset(kSlotCompression)));
  EXPECT_TRUE(HostStateEqualsDefaults(cut));
}

TEST(PresetBlob, NamesAndExtensions) {
  PresetRecord r;
  r.SetName("A name of thirty characters!!!");
  EXPECT_EQ(r.Name(), "A name of thirty charac");
  EXPECT_EQ(r.name[23], 0);
  r.SetName("Short");
  EXPECT_TRUE(std::all_of(r.name + 5, r.name + 24, [](char c) { return c == 0; }));
  // A name ends at its first zero; nothing behind it reaches the field (and so no blob).
  r.SetName(std::string_view("Cut\0hidden", 10));
  EXPECT_EQ(r.Name(), "Cut");
  EXPECT_TRUE(std::all_of(r.name + 3, r.name + 24, [](char c) { return c == 0; }));
  // A two-byte character that would straddle byte 23 is left out whole.
  std::string accents;
  for (int i = 0; i < 12; ++i) accents += "\xC3\xA9";
  r.SetName("a" + accents);
  EXPECT_EQ(r.Name(), "a" + accents.substr(0, 22));
  r.SetName("ab" + accents);
  EXPECT_EQ(r.Name(), "ab" + accents.substr(0, 20));
  EXPECT_EQ(r.name[22], 0);

  EXPECT_EQ(ApplyPresetExtension("Mix.qrv.qrv"), "Mix.qrv");
  EXPECT_EQ(ApplyPresetExtension("Mix"), "Mix.qrv");
  EXPECT_EQ(ApplyPresetExtension("Mix.QRV"), "Mix.QRV.qrv");
  EXPECT_TRUE(HasPresetExtension("a.qrv"));
  EXPECT_FALSE(HasPresetExtension(".qrv"));
  EXPECT_FALSE(HasPresetExtension("Loud.QRV"));
  EXPECT_STREQ(DescribeBlobStatus(BlobStatus::TruncatedChunk), "a chunk runs past the end of the data");
}

}  // namespace
}  // namespace qrv
