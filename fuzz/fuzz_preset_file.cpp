// The ".qrv" file reader over arbitrary file contents.
#include <cmath>
#include <cstdlib>

#include "presets/PresetBlob.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qrv::PresetRecord record = qrv::FactoryRecord(0);
  const qrv::PresetRecord before = record;
  const qrv::BlobStatus s = qrv::ReadPresetFileBytes({data, size}, record);
  if (s != qrv::BlobStatus::Ok && !(record == before)) std::abort();  // a failed read changes nothing
  for (float v : record.values)
    if (!(v >= 0.0f && v <= 1.0f)) std::abort();  // every value read is a valid normalised value
  if (record.name[qrv::kPresetNameMax] != 0) std::abort();
  return 0;
}
