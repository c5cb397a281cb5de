// The LV2 state restore over arbitrary saved properties: the 'All ' chunk, the other A/B slot and the
// active slot, each present or missing, of the right atom type or not.
//
// Input: a flags byte (bits 0, 2, 4: chunk, other slot, active slot present; bits 1, 3, 5: each stored
// with a wrong type), then the chunk and the other slot, each as a 16-bit little-endian length and that
// many bytes; the rest is the active slot's value.
//
// A refused restore changes nothing; an accepted one saves again as a state that restores into a fresh
// instance and saves as the same bytes.
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "format/lv2/Lv2Instance.h"
#include "format/lv2/Lv2Uris.h"
#include "fuzz/ScratchUser.h"

namespace {

using qrv::hostcontrols::Layout;
using qrv::lv2::Lv2Instance;

class Urids {
 public:
  Urids() {
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<Urids*>(h)->Map(uri); };
  }
  LV2_URID Map(const std::string& uri) {
    const auto [it, added] = ids_.try_emplace(uri, static_cast<LV2_URID>(ids_.size() + 1));
    return it->second;
  }
  const LV2_URID_Map* map() const { return &map_; }

 private:
  std::map<std::string, LV2_URID> ids_;
  LV2_URID_Map map_{};
};

Urids& TheUrids() {
  static Urids urids;
  return urids;
}

struct Property {
  uint32_t type = 0;
  std::vector<uint8_t> bytes;
  bool operator==(const Property&) const = default;
};
using State = std::map<LV2_URID, Property>;

LV2_State_Status Store(LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t) {
  const auto* p = static_cast<const uint8_t*>(value);
  (*static_cast<State*>(h))[key] = {type, std::vector<uint8_t>(p, p + size)};
  return LV2_STATE_SUCCESS;
}

const void* Retrieve(LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
  const State& s = *static_cast<const State*>(h);
  const auto it = s.find(key);
  if (it == s.end()) return nullptr;
  *size = it->second.bytes.size();
  *type = it->second.type;
  *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  return it->second.bytes.data();
}

State Save(Lv2Instance& instance) {
  State s;
  if (instance.state().Save(Store, &s) != LV2_STATE_SUCCESS) std::abort();
  return s;
}

// Takes a 16-bit length and that many bytes (fewer where the input ends).
std::vector<uint8_t> TakeField(const uint8_t*& p, const uint8_t* end) {
  if (end - p < 2) {
    p = end;
    return {};
  }
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(p[0] | p[1] << 8),
                                              static_cast<std::size_t>(end - p - 2));
  std::vector<uint8_t> out(p + 2, p + 2 + n);
  p += 2 + n;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  Urids& urids = TheUrids();
  // Keeps the process-wide preset library alive between inputs, as a host's other instances do.
  static Lv2Instance keeper(Layout::kStereo, 48000, urids.map());
  static const bool kept = (keeper.state().presetManager(), true);
  (void)kept;

  const uint8_t flags = data[0];
  const uint8_t* p = data + 1;
  const uint8_t* end = data + size;
  const uint32_t chunkType = urids.Map(LV2_ATOM__Chunk);
  const uint32_t intType = urids.Map(LV2_ATOM__Int);
  const uint32_t wrongType = urids.Map(LV2_ATOM__String);
  State input;
  std::vector<uint8_t> chunk = TakeField(p, end);
  std::vector<uint8_t> other = TakeField(p, end);
  std::vector<uint8_t> active(p, end);
  using qrv::lv2::kStateKeyActiveSlot, qrv::lv2::kStateKeyChunk, qrv::lv2::kStateKeyOtherSlot;
  if (flags & 1) input[urids.Map(kStateKeyChunk)] = {flags & 2 ? wrongType : chunkType, std::move(chunk)};
  if (flags & 4) input[urids.Map(kStateKeyOtherSlot)] = {flags & 8 ? wrongType : chunkType, std::move(other)};
  if (flags & 16) input[urids.Map(kStateKeyActiveSlot)] = {flags & 32 ? wrongType : intType, std::move(active)};

  Lv2Instance instance(Layout::kStereo, 48000, urids.map());
  const State before = Save(instance);
  const LV2_State_Status status = instance.state().Restore(Retrieve, &input);
  const State after = Save(instance);
  if (status != LV2_STATE_SUCCESS) {
    if (after != before) std::abort();  // a refused state changed the instance
    return 0;
  }
  Lv2Instance reloaded(Layout::kStereo, 48000, urids.map());
  State saved = after;
  if (reloaded.state().Restore(Retrieve, &saved) != LV2_STATE_SUCCESS) std::abort();
  if (Save(reloaded) != after) std::abort();  // what was saved does not reload as itself
  return 0;
}
