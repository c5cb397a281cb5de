// Named values packed into a chunk and read back. The data is a 32-bit entry count, then per entry a
// name length (1 byte), the name, a type byte (0: double, 1: 32-bit integer) and 8 value bytes, all
// little-endian. Reading checks every length against the chunk's size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/aax/sdk/AAX_Interfaces.h"

class AAX_CChunkDataParser {
 public:
  static constexpr int32_t kVersion = 1;

  void Clear() { entries_.clear(); }
  void AddDouble(const char* name, double value);
  void AddInt32(const char* name, int32_t value);
  bool FindDouble(const char* name, double* value) const;
  bool FindInt32(const char* name, int32_t* value) const;
  int32_t GetChunkVersion() const { return kVersion; }
  int32_t GetChunkDataSize() const;
  // Writes GetChunkDataSize() bytes.
  void GetChunkData(unsigned char* data) const;
  // Replaces the entries with those of a chunk; on malformed data returns
  // AAX_ERROR_INCORRECT_CHUNK_SIZE and keeps the entries it had.
  AAX_Result LoadChunk(const AAX_SPlugInChunk* chunk);
  std::size_t Count() const { return entries_.size(); }
  const std::string& NameAt(std::size_t i) const { return entries_[i].name; }

 private:
  struct Entry {
    std::string name;
    uint8_t type;
    double d;
    int32_t i;
  };
  const Entry* Find(const char* name) const;
  std::vector<Entry> entries_;
};
