// The binary container in which presets leave memory: ".qrv" files, favourite and clipboard registry
// values, and the host's saved state. Writers produce little-endian blobs; readers accept both byte
// orders and never read outside the bytes they are given. Stateless; any thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "presets/PresetRecord.h"

namespace qrv {

// The product code 'QVWG' with "Q" as the most significant byte; blobs begin with it little-endian.
inline constexpr uint32_t kProductCode = 0x51565747u;
inline constexpr uint8_t kSinglePresetMarker = 0x22;
inline constexpr uint8_t kHostStateMarker = 0x38;
inline constexpr uint32_t kBlobFormatWord = 0x02000100u;
inline constexpr std::size_t kBlobHeaderSize = 41;
inline constexpr std::size_t kChunkHeaderSize = 12;
inline constexpr std::size_t kNameChunkPayload = 156;
inline constexpr std::size_t kParameterChunkPayload = 20;
inline constexpr int kHostStateRecords = 3;
inline constexpr int kProgramCount = kFactoryPresetCount;  // record tags of a host state: 0..33

// Header field offsets.
inline constexpr std::size_t kBlobKindOffset = 4;
inline constexpr std::size_t kBlobFormatOffset = 5;
inline constexpr std::size_t kBlobParameterCountOffset = 9;
inline constexpr std::size_t kBlobChunkCountOffset = 13;
inline constexpr std::size_t kBlobSelectedOffset = 17;
inline constexpr std::size_t kBlobDataSizeOffset = 21;
inline constexpr std::size_t kBlobHostWordOffset = 29;
inline constexpr std::size_t kBlobZoomOffset = 33;
// The header word at 25 always holds this value.
inline constexpr uint32_t kBlobHeaderWord25 = 13;
// A parameter payload: slot index at 0, eight zero bytes, the value (a single) at 12, four zero bytes.
inline constexpr std::size_t kParameterIndexOffset = 0;
inline constexpr std::size_t kParameterValueOffset = 12;
inline constexpr std::size_t kParameterFieldsSize = 16;  // what a payload must hold to be read

enum class ChunkType : int32_t { Name = 0, Parameter = 1 };

// Why a blob was not taken. Ok is success.
enum class BlobStatus {
  Ok,
  CannotOpen,         // file missing or unreadable
  TooShort,           // fewer bytes than a header
  BadMagic,           // neither "GWVQ" nor "QVWG"
  WrongKind,          // not a single-preset blob
  BadDataSize,        // data size outside the bytes present
  BadChunkCount,      // negative chunk count
  TruncatedChunk,     // a chunk header or payload runs past the data
  MalformedChunk,     // a payload too small for its chunk type
  ValueOutOfRange,    // a parameter value outside 0..1 (favourites and clipboard)
  MissingProcess,     // no valid value for parameter 0 (files)
  NotAFile,           // a FIFO, device or folder where a preset file was expected
};

// A short English reason, e.g. "chunk runs past the end of the data".
const char* DescribeBlobStatus(BlobStatus status);

// The 41-byte header of any blob, as found; for inspection (the readers check it themselves).
struct PresetBlobHeader {
  bool bigEndian = false;
  uint8_t kind = 0;              // kSinglePresetMarker or kHostStateMarker for blobs written here
  uint32_t formatWord = 0;
  int32_t parameterCount = 0;
  int32_t chunkCount = 0;
  int32_t selected = 0;
  int32_t dataSize = 0;          // as claimed; not checked against the bytes present
  int32_t hostStateWord = 0;
  int32_t zoom = 0;
};
// Ok, TooShort or BadMagic; the header is filled only on Ok.
BlobStatus ReadPresetBlobHeader(std::span<const uint8_t> bytes, PresetBlobHeader& header);

// Number of slots 0..11 marked Stored; and the sizes that follow from it (433 and 1217 here).
int StoredParameterCount();
std::size_t SinglePresetBlobSize();
std::size_t HostStateBlobSize();

// One record: a name chunk and one parameter chunk per stored slot, ascending.
std::vector<uint8_t> WriteSinglePresetBlob(const PresetRecord& record, int32_t hostStateWord, int32_t zoom);
// Records 0, 1, 2 of `programs` with tags 0, 1, 2; selected record 0.
std::vector<uint8_t> WriteHostStateBlob(std::span<const PresetRecord> programs, int32_t hostStateWord,
                                        int32_t zoom);

// Preset file reader over the file's bytes. A value outside 0..1 takes the slot's default; the blob
// must hold a valid value for parameter 0. A data size claiming more than the file holds is read as far
// as the file goes: the file loads when every chunk is inside it. On success the stored slots and the name (when a name
// chunk is present) of `record` are replaced; on failure `record` is untouched.
BlobStatus ReadPresetFileBytes(std::span<const uint8_t> bytes, PresetRecord& record);
BlobStatus ReadPresetFile(const std::filesystem::path& path, PresetRecord& record);

// A preset file as the command line shows and renders it.
struct PresetFileContents {
  BlobStatus status = BlobStatus::CannotOpen;
  std::string fileName;   // the name the library shows: the file name without ".qrv"
  std::string storedName; // the name chunk inside the file
  // Slots 0..11 on top of factory preset 0 ("Default"): the stored slots 0 and 2..7 come from the file.
  PresetRecord record;
};
// Reads a ".qrv" file; status says why it did not load (DescribeBlobStatus).
PresetFileContents LoadPresetFile(const std::filesystem::path& path);

// Favourite and user-default reader: a value outside 0..1 rejects the whole blob. On success the
// chunks' slots 0..11 and name are taken into `record`; on failure it is untouched.
BlobStatus ReadFavoriteBlob(std::span<const uint8_t> bytes, PresetRecord& record);
// The clipboard memo reader: the same checks as the favourite reader.
BlobStatus ReadClipboardBlob(std::span<const uint8_t> bytes, PresetRecord& record);

// What a host state carries besides its records.
struct HostStateHeader {
  int32_t hostStateWord = 0;
  int32_t zoom = 0;      // as stored; callers take it only when above 0
  int32_t selected = 0;  // already mapped into 0..33
};

// Restores a host-state blob into the program array: a name chunk resets its record to `initial` and
// sets a non-empty name; parameter values are clamped into 0..1 (NaN gives 0); tags outside 0..33 are
// skipped. All or nothing: on any error `programs` and `header` are untouched.
BlobStatus RestoreHostStateBlob(std::span<const uint8_t> bytes, std::span<PresetRecord, kProgramCount> programs,
                                const PresetRecord& initial, HostStateHeader& header);

// True when every stored parameter of record 0 equals its default at a resolution of 1e-6, and for
// anything that is not a readable host state.
bool HostStateEqualsDefaults(std::span<const uint8_t> bytes);

// The preset-file rule: every trailing ".qrv" removed, then one appended ("Mix.qrv.qrv" -> "Mix.qrv").
std::string ApplyPresetExtension(std::string_view fileName);
// True for a name longer than 4 characters ending exactly (case-sensitively) in ".qrv".
bool HasPresetExtension(std::string_view fileName);

}  // namespace qrv
