#include "tests/aax/AaxTestSupport.h"
#include "tests/crossplatform/CrossRender.h"

namespace qrv::cross {
namespace {

// The chunk that holds everything an instance restores.
constexpr AAX_CTypeID kAll = AAX_FourCC("All ");

Outcome Run(const std::vector<uint8_t>* state) {
  Outcome o;
  auto loaded = aaxtest::LoadBundleHost();
  if (loaded == nullptr) return {{}, {}, "the AAX bundle does not load"};
  aaxtest::RegisteredHost host(std::move(loaded));
  auto instance = host->CreateInstance(1, static_cast<float>(kRate));
  if (instance == nullptr) return {{}, {}, "no AAX instance"};
  if (state != nullptr) {
    const aaxhost::Instance::Chunk chunk{kAll, 0, "", *state};
    if (instance->RestoreChunk(chunk) != AAX_SUCCESS) return {{}, {}, "the AAX chunk does not restore"};
  } else {
    for (std::size_t k = 0; k < aaxtest::kControls.size(); ++k)
      instance->SetParameter(aaxtest::kControls[k].first, kSettings[k]);
  }
  instance->Render(Input(), o.render, {static_cast<int32_t>(kBlock)});
  aaxhost::Instance::Chunk saved;
  if (instance->SaveChunk(kAll, &saved) != AAX_SUCCESS) o.error = "the AAX chunk does not save";
  o.state = saved.data;
  return o;
}

}  // namespace

Outcome AaxWithSettings() { return Run(nullptr); }
Outcome AaxFromState(const std::vector<uint8_t>& state) { return Run(&state); }

}  // namespace qrv::cross
