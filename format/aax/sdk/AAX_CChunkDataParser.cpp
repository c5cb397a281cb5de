#include "format/aax/sdk/AAX_CChunkDataParser.h"

#include <cstring>

#include "dsp/LittleEndian.h"

namespace {
using qrv::le::Load32;
using qrv::le::Load64;
using qrv::le::Store32;
using qrv::le::Store64;

// An entry: name length (one byte, so names are cut to 255), name, type, eight value bytes.
constexpr std::size_t kNameMax = 255;
constexpr std::size_t kCountSize = 4;
constexpr std::size_t kValueSize = 8;
}  // namespace

void AAX_CChunkDataParser::AddDouble(const char* name, double value) {
  entries_.push_back(Entry{std::string(name).substr(0, kNameMax), 0, value, 0});
}

void AAX_CChunkDataParser::AddInt32(const char* name, int32_t value) {
  entries_.push_back(Entry{std::string(name).substr(0, kNameMax), 1, 0.0, value});
}

const AAX_CChunkDataParser::Entry* AAX_CChunkDataParser::Find(const char* name) const {
  for (const Entry& e : entries_) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

bool AAX_CChunkDataParser::FindDouble(const char* name, double* value) const {
  const Entry* e = Find(name);
  if (e == nullptr || e->type != 0) return false;
  *value = e->d;
  return true;
}

bool AAX_CChunkDataParser::FindInt32(const char* name, int32_t* value) const {
  const Entry* e = Find(name);
  if (e == nullptr || e->type != 1) return false;
  *value = e->i;
  return true;
}

int32_t AAX_CChunkDataParser::GetChunkDataSize() const {
  std::size_t size = kCountSize;
  for (const Entry& e : entries_) size += 1 + e.name.size() + 1 + kValueSize;
  return static_cast<int32_t>(size);
}

void AAX_CChunkDataParser::GetChunkData(unsigned char* data) const {
  Store32(data, static_cast<uint32_t>(entries_.size()));
  unsigned char* p = data + kCountSize;
  for (const Entry& e : entries_) {
    *p++ = static_cast<unsigned char>(e.name.size());
    std::memcpy(p, e.name.data(), e.name.size());
    p += e.name.size();
    *p++ = e.type;
    uint64_t bits = 0;
    if (e.type == 0) {
      std::memcpy(&bits, &e.d, 8);
    } else {
      bits = static_cast<uint32_t>(e.i);
    }
    Store64(p, bits);
    p += kValueSize;
  }
}

AAX_Result AAX_CChunkDataParser::LoadChunk(const AAX_SPlugInChunk* chunk) {
  if (chunk == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (chunk->fSize < static_cast<int32_t>(kCountSize)) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
  const unsigned char* p = AAX_ChunkData(chunk);
  const std::size_t size = static_cast<std::size_t>(chunk->fSize);
  const uint32_t count = Load32(p);
  std::vector<Entry> loaded;
  std::size_t at = kCountSize;
  for (uint32_t n = 0; n < count; ++n) {
    if (size - at < 1) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
    const std::size_t len = p[at++];
    if (size - at < len + 1 + kValueSize) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
    Entry e{std::string(reinterpret_cast<const char*>(p + at), len), 0, 0.0, 0};
    at += len;
    e.type = p[at++];
    const uint64_t bits = Load64(p + at);
    at += kValueSize;
    if (e.type == 0) {
      std::memcpy(&e.d, &bits, 8);
    } else if (e.type == 1) {
      e.i = static_cast<int32_t>(static_cast<uint32_t>(bits));
    } else {
      return AAX_ERROR_INCORRECT_CHUNK_SIZE;
    }
    loaded.push_back(std::move(e));
  }
  entries_ = std::move(loaded);
  return AAX_SUCCESS;
}
