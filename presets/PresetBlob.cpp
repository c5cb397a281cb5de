#include "presets/PresetBlob.h"

#include <bit>
#include <cmath>
#include <optional>

#include "platform/AtomicFile.h"

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

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutFloat(std::vector<uint8_t>& out, float v) { Put32(out, std::bit_cast<uint32_t>(v)); }
void PutZeros(std::vector<uint8_t>& out, std::size_t n) { out.insert(out.end(), n, 0); }

uint32_t Swap32(uint32_t v) { return __builtin_bswap32(v); }

// Callers check that p[0..3] lies inside the data.
uint32_t Get32(const uint8_t* p, bool swap) {
  const uint32_t le = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                      static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
  return swap ? Swap32(le) : le;
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
  Put32(out, 13);
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
    PutZeros(out, 8);
    PutFloat(out, r.values[i]);
    PutZeros(out, 4);
  }
}

std::size_t RecordDataSize() {
  return kChunkHeaderSize + kNameChunkPayload +
         static_cast<std::size_t>(StoredParameterCount()) * (kChunkHeaderSize + kParameterChunkPayload);
}

// ---- reading -----------------------------------------------------------------------------------

enum class OutOfRange { UseDefault, Reject };

// Walks `count` chunks of `data`. Every chunk header and payload must lie inside `data`.
BlobStatus ParseRecordChunks(std::span<const uint8_t> data, int32_t count, bool swap, OutOfRange policy,
                             PresetRecord& work) {
  std::size_t pos = 0;
  for (int32_t c = 0; c < count; ++c) {
    if (data.size() - pos < kChunkHeaderSize) return BlobStatus::TruncatedChunk;
    const uint8_t* h = data.data() + pos;
    const int32_t type = GetI32(h, swap);
    const int32_t size = GetI32(h + 4, swap);
    if (size < 0 || static_cast<std::size_t>(size) > data.size() - pos - kChunkHeaderSize)
      return BlobStatus::TruncatedChunk;
    const uint8_t* payload = h + kChunkHeaderSize;
    if (type == static_cast<int32_t>(ChunkType::Name)) {
      if (static_cast<std::size_t>(size) < kPresetNameSize) return BlobStatus::MalformedChunk;
      std::memcpy(work.name, payload, kPresetNameSize);
      work.name[kPresetNameMax] = 0;
    } else if (type == static_cast<int32_t>(ChunkType::Parameter)) {
      if (size < 16) return BlobStatus::MalformedChunk;
      const int32_t index = GetI32(payload, swap);
      float value = std::bit_cast<float>(Get32(payload + 12, swap));
      if (!(value >= 0.0f && value <= 1.0f)) {  // NaN fails both
        if (policy == OutOfRange::Reject) return BlobStatus::ValueOutOfRange;
        value = index >= 0 ? static_cast<float>(GetParameterDefault(static_cast<unsigned>(index))) : 0.5f;
      }
      if (index >= 0 && index < static_cast<int32_t>(kPresetValueCount)) work.values[index] = value;
    }
    pos += kChunkHeaderSize + static_cast<std::size_t>(size);
  }
  return BlobStatus::Ok;
}

struct SingleHeader {
  bool swap = false;
  int32_t chunkCount = 0;
  int32_t dataSize = 0;
};

// Magic, marker and header of a single-preset blob.
BlobStatus CheckSingleHeader(std::span<const uint8_t> bytes, SingleHeader& h) {
  if (bytes.size() < 5) return BlobStatus::TooShort;
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
  header.formatWord = Get32(&bytes[kBlobKindOffset + 1], swap);
  header.parameterCount = GetI32(&bytes[kBlobKindOffset + 5], swap);
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
  std::string base = path.filename().string();
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
  const std::span<const uint8_t> data = bytes.subspan(kBlobHeaderSize);
  std::size_t pos = 0;
  for (int32_t c = 0; c < count; ++c) {
    if (data.size() - pos < kChunkHeaderSize) return BlobStatus::TruncatedChunk;
    const uint8_t* h = data.data() + pos;
    const int32_t type = GetI32(h, swap);
    const int32_t size = GetI32(h + 4, swap);
    const int32_t tag = GetI32(h + 8, false);  // the record tag is never swapped
    if (size < 0 || static_cast<std::size_t>(size) > data.size() - pos - kChunkHeaderSize)
      return BlobStatus::TruncatedChunk;
    const uint8_t* payload = h + kChunkHeaderSize;
    if (tag >= 0 && tag < kProgramCount) {
      PresetRecord& r = work[static_cast<std::size_t>(tag)];
      if (type == static_cast<int32_t>(ChunkType::Name)) {
        if (static_cast<std::size_t>(size) < kPresetNameSize) return BlobStatus::MalformedChunk;
        r = initial;
        if (payload[0] != 0)
          r.SetName(std::string_view(reinterpret_cast<const char*>(payload),
                                     strnlen(reinterpret_cast<const char*>(payload), kPresetNameMax)));
      } else if (type == static_cast<int32_t>(ChunkType::Parameter)) {
        if (size < 16) return BlobStatus::MalformedChunk;
        const int32_t index = GetI32(payload, swap);
        float value = std::bit_cast<float>(Get32(payload + 12, swap));
        value = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
        if (index >= 0 && index < static_cast<int32_t>(kPresetValueCount)) r.values[index] = value;
      }
    }
    pos += kChunkHeaderSize + static_cast<std::size_t>(size);
  }
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
  if (count > 140) return true;
  std::size_t pos = kBlobHeaderSize;
  for (int32_t c = 0; c < count && bytes.size() - pos >= kChunkHeaderSize; ++c) {
    const uint8_t* h = bytes.data() + pos;
    const int32_t type = GetI32(h, swap);
    const int32_t size = GetI32(h + 4, swap);
    const int32_t tag = GetI32(h + 8, false);
    // Only the header has to lie inside: a chunk whose size claims more than is left still counts when
    // the fields read from it are present, and the next header then lies outside and ends the walk.
    if (size < 0) break;  // would walk backwards
    const std::size_t left = bytes.size() - pos - kChunkHeaderSize;
    if (type == static_cast<int32_t>(ChunkType::Parameter) && tag == 0 && size >= 16) {
      if (left < 16) break;
      const int32_t index = GetI32(h + kChunkHeaderSize, swap);
      if (IsStoredSlot(index)) {
        float value = std::bit_cast<float>(Get32(h + kChunkHeaderSize + 12, swap));
        value = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
        const double def = GetParameterDefault(static_cast<unsigned>(index));
        if (std::llround(static_cast<double>(value) * 1000000.0) != std::llround(def * 1000000.0)) return false;
      }
    }
    if (static_cast<std::size_t>(size) > left) break;
    pos += kChunkHeaderSize + static_cast<std::size_t>(size);
  }
  return true;
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
