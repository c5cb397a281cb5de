// The AAX chunk readers over arbitrary session data: the controls chunk ('elck') and the state chunk
// ('All ') restored in each chunk state a host notification can put the data model in, or compared with
// the active state, through the binding linked in and the host simulator.
//
// Input: a selector byte (bits 0-1: 'elck', 'All ', 'elck' or an unknown ID; bits 2-3: 1 "session being
// opened" or 2 "preset opened" notified first, 0 or 3 nothing; bit 4: compare instead of restore), then
// the chunk's data.
//
// A refused restore in the normal state changes neither chunk; whatever the data, the host parameters
// stay within 0..1. Instances live across inputs, one per notification, as a session's do (building one
// per input would cost most of the time): the one that is never notified is always in the normal state,
// the others are notified again before each input.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "format/aax/host/AAXHost.h"
#include "fuzz/ScratchUser.h"
#include "tests/aax/InProcessHost.h"

namespace {

using qrv::aaxhost::Instance;

Instance::Chunk Save(Instance& instance, AAX_CTypeID id) {
  Instance::Chunk chunk;
  if (instance.SaveChunk(id, &chunk) != AAX_SUCCESS) std::abort();
  return chunk;
}

qrv::aaxhost::Host& TheHost() {
  static const std::unique_ptr<qrv::aaxhost::Host> host = [] {
    auto h = qrv::aaxtest::InProcessHost();
    if (h->Startup() != AAX_SUCCESS || h->Register() != AAX_SUCCESS) std::abort();
    return h;
  }();
  return *host;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  qrv::aaxhost::Host& host = TheHost();
  static std::unique_ptr<Instance> instances[3];

  const uint8_t selector = data[0];
  static constexpr AAX_CTypeID kIds[4] = {AAX_FourCC("elck"), AAX_FourCC("All "), AAX_FourCC("elck"),
                                          AAX_FourCC("junk")};
  Instance::Chunk chunk;
  chunk.id = kIds[selector & 3];
  chunk.data.assign(data + 1, data + size);

  const int notification = ((selector >> 2) & 3) % 3;  // 3 notifies nothing, as 0 does
  std::unique_ptr<Instance>& instance = instances[notification];
  if (instance == nullptr) instance = host.CreateInstance(1, 48000.0f);
  if (instance == nullptr) std::abort();
  if (notification == 1) instance->Notify(AAX_eNotificationEvent_SessionBeingOpened);
  if (notification == 2) instance->Notify(AAX_eNotificationEvent_PresetOpened);

  const Instance::Chunk controls = Save(*instance, AAX_FourCC("elck"));
  const Instance::Chunk state = Save(*instance, AAX_FourCC("All "));
  if (selector & 16) {
    bool equal = false;
    instance->CompareChunk(chunk, &equal);
  } else {
    const AAX_Result r = instance->RestoreChunk(chunk);
    if (r != AAX_SUCCESS && notification == 0 &&
        (Save(*instance, AAX_FourCC("elck")).data != controls.data ||
         Save(*instance, AAX_FourCC("All ")).data != state.data)) {
      std::abort();  // a refused chunk changed the instance
    }
  }
  for (const std::string& id : instance->ParameterIDs()) {
    const double v = instance->ParameterValue(id);
    if (!(v >= 0.0 && v <= 1.0)) std::abort();
  }
  return 0;
}
