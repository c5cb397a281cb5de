// The host-state restore over arbitrary saved state.
#include <array>
#include <cstdlib>

#include "presets/PresetBlob.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::array<qrv::PresetRecord, qrv::kProgramCount> programs;
  for (int i = 0; i < qrv::kProgramCount; ++i) programs[static_cast<size_t>(i)] = qrv::FactoryRecord(i);
  const auto before = programs;
  qrv::HostStateHeader header;
  const qrv::BlobStatus s = qrv::RestoreHostStateBlob({data, size}, programs, qrv::FactoryRecord(0), header);
  if (s != qrv::BlobStatus::Ok && programs != before) std::abort();  // all or nothing
  if (header.selected < 0 || header.selected >= qrv::kProgramCount) std::abort();
  for (const auto& r : programs)
    for (float v : r.values)
      if (!(v >= 0.0f && v <= 1.0f)) std::abort();
  return 0;
}
