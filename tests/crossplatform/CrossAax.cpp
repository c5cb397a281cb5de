#include "tests/aax/AaxTestSupport.h"
#include "tests/crossplatform/CrossRender.h"

namespace qrv::cross {
namespace {

// Every chunk the instance lists, in its order, as a host stores them: id, version and size (32 bits each,
// little-endian), then the data.
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
uint32_t Get32(const std::vector<uint8_t>& in, std::size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(in[at + static_cast<std::size_t>(i)]) << (8 * i);
  return v;
}

std::string SaveChunks(aaxhost::Instance& instance, std::vector<uint8_t>& out) {
  std::vector<AAX_CTypeID> ids;
  if (instance.ChunkIDs(&ids) != AAX_SUCCESS || ids.empty()) return "no AAX chunks";
  for (AAX_CTypeID id : ids) {
    aaxhost::Instance::Chunk chunk;
    if (instance.SaveChunk(id, &chunk) != AAX_SUCCESS) return "an AAX chunk does not save";
    Put32(out, chunk.id);
    Put32(out, static_cast<uint32_t>(chunk.version));
    Put32(out, static_cast<uint32_t>(chunk.data.size()));
    out.insert(out.end(), chunk.data.begin(), chunk.data.end());
  }
  return "";
}

std::string RestoreChunks(aaxhost::Instance& instance, const std::vector<uint8_t>& in) {
  for (std::size_t at = 0; at < in.size();) {
    if (in.size() - at < 12) return "a truncated AAX chunk header";
    aaxhost::Instance::Chunk chunk;
    chunk.id = Get32(in, at);
    chunk.version = static_cast<int32_t>(Get32(in, at + 4));
    const std::size_t size = Get32(in, at + 8);
    at += 12;
    if (in.size() - at < size) return "a truncated AAX chunk";
    chunk.data.assign(in.begin() + static_cast<std::ptrdiff_t>(at), in.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
    if (instance.RestoreChunk(chunk) != AAX_SUCCESS) return "an AAX chunk does not restore";
  }
  return "";
}

Outcome Run(const std::vector<uint8_t>* state) {
  Outcome o;
  auto loaded = aaxtest::LoadBundleHost();
  if (loaded == nullptr) return {{}, {}, "the AAX bundle does not load"};
  aaxtest::RegisteredHost host(std::move(loaded));
  auto instance = host->CreateInstance(1, static_cast<float>(kRate));
  if (instance == nullptr) return {{}, {}, "no AAX instance"};
  if (state != nullptr) {
    if (std::string e = RestoreChunks(*instance, *state); !e.empty()) return {{}, {}, e};
  } else {
    for (std::size_t k = 0; k < aaxtest::kControls.size(); ++k)
      instance->SetParameter(aaxtest::kControls[k].first, kSettings[k]);
  }
  instance->Render(Input(), o.render, {static_cast<int32_t>(kBlock)});
  o.error = SaveChunks(*instance, o.state);
  return o;
}

}  // namespace

Outcome AaxWithSettings() { return Run(nullptr); }
Outcome AaxFromState(const std::vector<uint8_t>& state) { return Run(&state); }

}  // namespace qrv::cross
