#include "presets/PresetBlob.h"

#include <bit>
#include <cmath>
#include <optional>

#include "dsp/LittleEndian.h"
#include "platform/AtomicFile.h"
#include "platform/PathText.h"

namespace qrv {

PresetRecord FactoryRecord(int index) {
  double values[kPresetValueCount] = {};
  char name[kPresetNameSize] = {};
  GetFactoryPreset(index, values, name, nullptr);
  PresetRecord r;
  r.SetName(name[0] != '\0' ? std::string_view(name, strnlen(name, kPresetNameMax)) : "Init");
  for (unsigned i = 0; i < kPresetValueCount; ++i) r.values[i] = static_cast<float>(values[i]);
  return r;
}

namespace {

// ---- byte access -------------------------------------------------------------------------------

void Put32(std::vector<uint8_t>& out, uint32_t v) { le::Append32(out, v); }
void PutFloat(std::vector<uint8_t>& out, float v) { Put32(out, std::bit_cast<uint32_t>(v)); }
void PutZeros(std::vector<uint8_t>& out, std::size_t n) { out.insert(out.end(), n, 0); }

uint32_t Swap32(uint32_t v) { return __builtin_bswap32(v); }

// Callers check that p[0..3] lies inside the data.
uint32_t Get32(const uint8_t* p, bool swap) {
  const uint32_t v = le::Load32(p);
  return swap ? Swap32(v) : v;
}
int32_t GetI32(const uint8_t* p, bool swap) { return static_cast<int32_t>(Get32(p, swap)); }

enum class ByteOrder { Little, Big, Unknown };

ByteOrder OrderOf(std::span<const uint8_t> b) {
  if (b.size() < 4) return ByteOrder::Unknown;
  const uint32_t raw = Get32(b.data(), false);
  if (raw == kProductCode) return ByteOrder::Little;
  if (raw == Swap32(kProductCode)) return ByteOrder::Big;
  return ByteOrder::Unknown;
}

// ---- writing -----------------------------------------------------------------------------------

void PutHeader(std::vector<uint8_t>& out, uint8_t kind, int32_t chunks, int32_t selected, int32_t dataSize,
               int32_t hostStateWord, int32_t zoom) {
  Put32(out, kProductCode);
  out.push_back(kind);
  Put32(out, kBlobFormatWord);
  Put32(out, kPresetValueCount);
  Put32(out, static_cast<uint32_t>(chunks));
  Put32(out, static_cast<uint32_t>(selected));
  Put32(out, static_cast<uint32_t>(dataSize));
  Put32(out, kBlobHeaderWord25);
  Put32(out, static_cast<uint32_t>(hostStateWord));
  Put32(out, static_cast<uint32_t>(zoom));
  Put32(out, 0);
}

void PutRecord(std::vector<uint8_t>& out, const PresetRecord& r, int32_t tag) {
  Put32(out, static_cast<uint32_t>(ChunkType::Name));
  Put32(out, kNameChunkPayload);
  Put32(out, static_cast<uint32_t>(tag));
  const std::size_t nameAt = out.size();
  PutZeros(out, kNameChunkPayload);
  std::memcpy(&out[nameAt], r.name, kPresetNameMax);  // byte 23 stays 0
  for (int i = 0; i < static_cast<int>(kPresetValueCount); ++i) {
    if (!IsStoredSlot(i)) continue;
    Put32(out, static_cast<uint32_t>(ChunkType::Parameter));
    Put32(out, kParameterChunkPayload);
    Put32(out, static_cast<uint32_t>(tag));
    Put32(out, static_cast<uint32_t>(i));
    PutZeros(out, kParameterValueOffset - sizeof(uint32_t));
    PutFloat(out, r.values[i]);
    PutZeros(out, kParameterChunkPayload - kParameterValueOffset - sizeof(float));
  }
}

std::size_t RecordDataSize() {
  return kChunkHeaderSize + kNameChunkPayload +
         static_cast<std::size_t>(StoredParameterCount()) * (kChunkHeaderSize + kParameterChunkPayload);
}

// ---- reading -----------------------------------------------------------------------------------

enum class OutOfRange { UseDefault, Reject };

// One chunk as the walker hands it on: the header fields and the payload bytes present.
struct ChunkView {
  int32_t type = 0;
  int32_t size = 0;  // as claimed
  int32_t tag = 0;   // the record tag is never byte-swapped
  std::span<const uint8_t> payload;
};

// How the walk treats a chunk that does not fit: Strict stops with TruncatedChunk; Lenient (the defaults
// check, which only reads) ends the walk there with Ok, after handing on a chunk whose header fits and
// whose claimed size runs past the data with the bytes that are present.
enum class Fit { Strict, Lenient };

// Walks `count` chunks from the start of `data` and hands each to `visit`, which returns Ok to go on or the
// status to stop with. Nothing outside `data` is read.
template <typename Visit>
BlobStatus WalkChunks(std::span<const uint8_t> data, int32_t count, bool swap, Fit fit, Visit&& visit) {
  std::size_t pos = 0;
  for (int32_t c = 0; c < count; ++c) {
    if (data.size() - pos < kChunkHeaderSize) return fit == Fit::Strict ? BlobStatus::TruncatedChunk : BlobStatus::Ok;
    const uint8_t* h = data.data() + pos;
    ChunkView chunk;
    chunk.type = GetI32(h, swap);
    chunk.size = GetI32(h + 4, swap);
    chunk.tag = GetI32(h + 8, false);
    const std::size_t left = data.size() - pos - kChunkHeaderSize;
    // A negative size would walk backwards.
    if (chunk.size < 0) return fit == Fit::Strict ? BlobStatus::TruncatedChunk : BlobStatus::Ok;
    const bool fits = static_cast<std::size_t>(chunk.size) <= left;
    if (!fits && fit == Fit::Strict) return BlobStatus::TruncatedChunk;
    chunk.payload = data.subspan(pos + kChunkHeaderSize, fits ? static_cast<std::size_t>(chunk.size) : left);
    if (const BlobStatus s = visit(chunk); s != BlobStatus::Ok) return s;
    if (!fits) return BlobStatus::Ok;
    pos += kChunkHeaderSize + static_cast<std::size_t>(chunk.size);
  }
  return BlobStatus::Ok;
}

// A host state claiming more chunks than this is not compared with the defaults: it reads as defaults.
constexpr int32_t kDefaultsCheckChunkLimit = 140;

// Walks `count` chunks of `data`. Every chunk header and payload must lie inside `data`.
BlobStatus ParseRecordChunks(std::span<const uint8_t> data, int32_t count, bool swap, OutOfRange policy,
                             PresetRecord& work) {
  return WalkChunks(data, count, swap, Fit::Strict, [&](const ChunkView& c) {
    if (c.type == static_cast<int32_t>(ChunkType::Name)) {
      if (c.payload.size() < kPresetNameSize) return BlobStatus::MalformedChunk;
      std::memcpy(work.name, c.payload.data(), kPresetNameSize);
      work.name[kPresetNameMax] = 0;
    } else if (c.type == static_cast<int32_t>(ChunkType::Parameter)) {
      if (c.payload.size() < kParameterFieldsSize) return BlobStatus::MalformedChunk;
      const int32_t index = GetI32(&c.payload[kParameterIndexOffset], swap);
      float value = std::bit_cast<float>(Get32(&c.payload[kParameterValueOffset], swap));
      if (!(value >= 0.0f && value <= 1.0f)) {  // NaN fails both
        if (policy == OutOfRange::Reject) return BlobStatus::ValueOutOfRange;
        value = index >= 0 ? static_cast<float>(GetParameterDefault(static_cast<unsigned>(index))) : 0.5f;
      }
      if (index >= 0 && index < static_cast<int32_t>(kPresetValueCount)) work.values[index] = value;
    }
    return BlobStatus::Ok;
  });
}

struct SingleHeader {
  bool swap = false;
  int32_t chunkCount = 0;
  int32_t dataSize = 0;
};

// Magic, marker and header of a single-preset blob.
BlobStatus CheckSingleHeader(std::span<const uint8_t> bytes, SingleHeader& h) {
  if (bytes.size() < kBlobKindOffset + 1) return BlobStatus::TooShort;
  const ByteOrder order = OrderOf(bytes);
  if (order == ByteOrder::Unknown) return BlobStatus::BadMagic;
  if (bytes[kBlobKindOffset] != kSinglePresetMarker) return BlobStatus::WrongKind;
  if (bytes.size() < kBlobHeaderSize) return BlobStatus::TooShort;
  h.swap = order == ByteOrder::Big;
  h.chunkCount = GetI32(&bytes[kBlobChunkCountOffset], h.swap);
  h.dataSize = GetI32(&bytes[kBlobDataSizeOffset], h.swap);
  return BlobStatus::Ok;
}

BlobStatus ReadStrictBlob(std::span<const uint8_t> bytes, PresetRecord& record) {
  SingleHeader h;
  if (const BlobStatus s = CheckSingleHeader(bytes, h); s != BlobStatus::Ok) return s;
  if (h.dataSize <= 0 || static_cast<std::size_t>(h.dataSize) > bytes.size() - kBlobHeaderSize)
    return BlobStatus::BadDataSize;
  if (h.chunkCount < 0) return BlobStatus::BadChunkCount;
  PresetRecord work = record;
  const BlobStatus s = ParseRecordChunks(bytes.subspan(kBlobHeaderSize, static_cast<std::size_t>(h.dataSize)),
                                         h.chunkCount, h.swap, OutOfRange::Reject, work);
  if (s == BlobStatus::Ok) record = work;
  return s;
}

}  // namespace

const char* DescribeBlobStatus(BlobStatus status) {
  switch (status) {
    case BlobStatus::Ok: return "ok";
    case BlobStatus::CannotOpen: return "the file cannot be opened";
    case BlobStatus::TooShort: return "shorter than a preset header";
    case BlobStatus::BadMagic: return "not a QRV warmGlow preset (wrong product code)";
    case BlobStatus::WrongKind: return "not a single preset (wrong kind marker)";
    case BlobStatus::BadDataSize: return "data size does not match the bytes present";
    case BlobStatus::BadChunkCount: return "negative chunk count";
    case BlobStatus::TruncatedChunk: return "a chunk runs past the end of the data";
    case BlobStatus::MalformedChunk: return "a chunk is too small for its type";
    case BlobStatus::ValueOutOfRange: return "a parameter value lies outside 0..1";
    case BlobStatus::MissingProcess: return "no valid value for \"Process\"";
    case BlobStatus::NotAFile: return "not a regular file";
  }
  return "unknown";
}

BlobStatus ReadPresetBlobHeader(std::span<const uint8_t> bytes, PresetBlobHeader& header) {
  if (bytes.size() < kBlobHeaderSize) return BlobStatus::TooShort;
  const ByteOrder order = OrderOf(bytes);
  if (order == ByteOrder::Unknown) return BlobStatus::BadMagic;
  const bool swap = order == ByteOrder::Big;
  header.bigEndian = swap;
  header.kind = bytes[kBlobKindOffset];
  header.formatWord = Get32(&bytes[kBlobFormatOffset], swap);
  header.parameterCount = GetI32(&bytes[kBlobParameterCountOffset], swap);
  header.chunkCount = GetI32(&bytes[kBlobChunkCountOffset], swap);
  header.selected = GetI32(&bytes[kBlobSelectedOffset], swap);
  header.dataSize = GetI32(&bytes[kBlobDataSizeOffset], swap);
  header.hostStateWord = GetI32(&bytes[kBlobHostWordOffset], swap);
  header.zoom = GetI32(&bytes[kBlobZoomOffset], swap);
  return BlobStatus::Ok;
}

int StoredParameterCount() {
  int n = 0;
  for (int i = 0; i < static_cast<int>(kPresetValueCount); ++i) n += IsStoredSlot(i) ? 1 : 0;
  return n;
}

std::size_t SinglePresetBlobSize() { return kBlobHeaderSize + RecordDataSize(); }
std::size_t HostStateBlobSize() { return kBlobHeaderSize + kHostStateRecords * RecordDataSize(); }

std::vector<uint8_t> WriteSinglePresetBlob(const PresetRecord& record, int32_t hostStateWord, int32_t zoom) {
  std::vector<uint8_t> out;
  out.reserve(SinglePresetBlobSize());
  PutHeader(out, kSinglePresetMarker, 1 + StoredParameterCount(), 0, static_cast<int32_t>(RecordDataSize()),
            hostStateWord, zoom);
  PutRecord(out, record, 0);
  return out;
}

std::vector<uint8_t> WriteHostStateBlob(std::span<const PresetRecord> programs, int32_t hostStateWord,
                                        int32_t zoom) {
  std::vector<uint8_t> out;
  out.reserve(HostStateBlobSize());
  const int records = std::min<int>(kHostStateRecords, static_cast<int>(programs.size()));
  PutHeader(out, kHostStateMarker, records * (1 + StoredParameterCount()), 0,
            static_cast<int32_t>(static_cast<std::size_t>(records) * RecordDataSize()), hostStateWord, zoom);
  for (int t = 0; t < records; ++t) PutRecord(out, programs[static_cast<std::size_t>(t)], t);
  return out;
}

BlobStatus ReadPresetFileBytes(std::span<const uint8_t> bytes, PresetRecord& record) {
  SingleHeader h;
  if (const BlobStatus s = CheckSingleHeader(bytes, h); s != BlobStatus::Ok) return s;
  // The header's data size is a claim: as many of those bytes are read as the file holds, and the
  // chunks must lie inside them.
  if (h.dataSize < 0) return BlobStatus::BadDataSize;
  const std::size_t dataSize = std::min(static_cast<std::size_t>(h.dataSize), bytes.size() - kBlobHeaderSize);
  PresetRecord work = record;
  work.values[kSlotProcess] = -1.0f;
  const BlobStatus s = ParseRecordChunks(bytes.subspan(kBlobHeaderSize, dataSize), h.chunkCount, h.swap,
                                         OutOfRange::UseDefault, work);
  // A chunk cut off where the file ends short of its claim: the file is incomplete.
  if (s == BlobStatus::TruncatedChunk && dataSize < static_cast<std::size_t>(h.dataSize))
    return BlobStatus::BadDataSize;
  if (s != BlobStatus::Ok) return s;
  if (!(work.values[kSlotProcess] >= 0.0f)) return BlobStatus::MissingProcess;
  std::memcpy(record.name, work.name, sizeof record.name);
  for (int i = 0; i < static_cast<int>(kPresetValueCount); ++i)
    if (IsStoredSlot(i)) record.values[i] = work.values[i];
  return BlobStatus::Ok;
}

BlobStatus ReadPresetFile(const std::filesystem::path& path, PresetRecord& record) {
  // A preset is 433 bytes; anything far larger is not one.
  platform::FileStatus status = platform::FileStatus::Ok;
  const auto bytes = platform::ReadWholeFile(path, 1u << 20, &status);
  if (status == platform::FileStatus::NotRegularFile) return BlobStatus::NotAFile;
  if (!bytes) return BlobStatus::CannotOpen;
  return ReadPresetFileBytes(*bytes, record);
}

PresetFileContents LoadPresetFile(const std::filesystem::path& path) {
  PresetFileContents out;
  std::string base = platform::Utf8FromPath(path.filename());
  if (base.ends_with(".qrv")) base.resize(base.size() - 4);
  out.fileName = base;
  out.record = FactoryRecord(0);
  out.record.SetName("");
  out.status = ReadPresetFile(path, out.record);
  out.storedName = std::string(out.record.Name());
  return out;
}

BlobStatus ReadFavoriteBlob(std::span<const uint8_t> bytes, PresetRecord& record) {
  return ReadStrictBlob(bytes, record);
}

BlobStatus ReadClipboardBlob(std::span<const uint8_t> bytes, PresetRecord& record) {
  return ReadStrictBlob(bytes, record);
}

BlobStatus RestoreHostStateBlob(std::span<const uint8_t> bytes, std::span<PresetRecord, kProgramCount> programs,
                                const PresetRecord& initial, HostStateHeader& header) {
  if (bytes.size() < kBlobHeaderSize) return BlobStatus::TooShort;
  const ByteOrder order = OrderOf(bytes);
  if (order == ByteOrder::Unknown) return BlobStatus::BadMagic;
  const bool swap = order == ByteOrder::Big;
  const int32_t count = GetI32(&bytes[kBlobChunkCountOffset], swap);
  if (count < 0) return BlobStatus::BadChunkCount;

  // Parse into copies so that a broken state changes nothing.
  std::array<PresetRecord, kProgramCount> work;
  std::copy(programs.begin(), programs.end(), work.begin());
  const BlobStatus walked =
      WalkChunks(bytes.subspan(kBlobHeaderSize), count, swap, Fit::Strict, [&](const ChunkView& c) {
        if (c.tag < 0 || c.tag >= kProgramCount) return BlobStatus::Ok;
        PresetRecord& r = work[static_cast<std::size_t>(c.tag)];
        if (c.type == static_cast<int32_t>(ChunkType::Name)) {
          if (c.payload.size() < kPresetNameSize) return BlobStatus::MalformedChunk;
          r = initial;
          const auto* name = reinterpret_cast<const char*>(c.payload.data());
          if (name[0] != 0) r.SetName(std::string_view(name, strnlen(name, kPresetNameMax)));
        } else if (c.type == static_cast<int32_t>(ChunkType::Parameter)) {
          if (c.payload.size() < kParameterFieldsSize) return BlobStatus::MalformedChunk;
          const int32_t index = GetI32(&c.payload[kParameterIndexOffset], swap);
          float value = std::bit_cast<float>(Get32(&c.payload[kParameterValueOffset], swap));
          value = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
          if (index >= 0 && index < static_cast<int32_t>(kPresetValueCount)) r.values[index] = value;
        }
        return BlobStatus::Ok;
      });
  if (walked != BlobStatus::Ok) return walked;
  std::copy(work.begin(), work.end(), programs.begin());
  header.hostStateWord = GetI32(&bytes[kBlobHostWordOffset], swap);
  header.zoom = GetI32(&bytes[kBlobZoomOffset], swap);
  const int32_t selected = GetI32(&bytes[kBlobSelectedOffset], swap);
  header.selected = selected >= 0 && selected < kProgramCount ? selected : 0;
  return BlobStatus::Ok;
}

bool HostStateEqualsDefaults(std::span<const uint8_t> bytes) {
  if (bytes.size() < kBlobHeaderSize) return true;
  const ByteOrder order = OrderOf(bytes);
  if (order == ByteOrder::Unknown) return true;
  const bool swap = order == ByteOrder::Big;
  const int32_t count = GetI32(&bytes[kBlobChunkCountOffset], swap);
  if (count > kDefaultsCheckChunkLimit) return true;
  bool equal = true;
  // A chunk whose size claims more than is left still counts when the fields read from it are present.
  WalkChunks(bytes.subspan(kBlobHeaderSize), count, swap, Fit::Lenient, [&](const ChunkView& c) {
    if (c.type != static_cast<int32_t>(ChunkType::Parameter) || c.tag != 0 ||
        c.size < static_cast<int32_t>(kParameterFieldsSize))
      return BlobStatus::Ok;
    if (c.payload.size() < kParameterFieldsSize) return BlobStatus::TruncatedChunk;  // ends the walk
    const int32_t index = GetI32(&c.payload[kParameterIndexOffset], swap);
    if (!IsStoredSlot(index)) return BlobStatus::Ok;
    float value = std::bit_cast<float>(Get32(&c.payload[kParameterValueOffset], swap));
    value = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
    const double def = GetParameterDefault(static_cast<unsigned>(index));
    constexpr double kResolution = 1000000.0;
    if (std::llround(static_cast<double>(value) * kResolution) != std::llround(def * kResolution)) {
      equal = false;
      return BlobStatus::ValueOutOfRange;  // ends the walk: the answer is known
    }
    return BlobStatus::Ok;
  });
  return equal;
}

std::string ApplyPresetExtension(std::string_view fileName) {
  constexpr std::string_view kExt = ".qrv";
  while (fileName.ends_with(kExt)) fileName.remove_suffix(kExt.size());
  std::string out(fileName);
  out += kExt;
  return out;
}

bool HasPresetExtension(std::string_view fileName) { return fileName.size() > 4 && fileName.ends_with(".qrv"); }

}  // namespace qrv
