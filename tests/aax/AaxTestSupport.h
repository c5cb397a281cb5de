// Shared helpers of the AAX tests: a host around the real module (dlopen'ed from the bundle in the build
// tree), parameter IDs and a scratch user environment so that settings and presets stay in a temporary
// folder.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "format/aax/host/AAXHost.h"

namespace qrv::aaxtest {

inline const std::vector<std::string> kHostParameterIDs = {
    "MasterBypassID", "0: Process", "2: Ratio",   "3: AttackRatio", "4: Time",      "5: Compression",
    "6: Output",      "7: ValveLevel", "PresetSTART", "PresetSTOP",  "HighQualityID"};
inline const std::string kHighQualityID = "HighQualityID";

// The seven controls' IDs in slot order with their slots.
inline const std::vector<std::pair<std::string, unsigned>> kControls = {
    {"0: Process", 0}, {"2: Ratio", 2}, {"3: AttackRatio", 3}, {"4: Time", 4},
    {"5: Compression", 5}, {"6: Output", 6}, {"7: ValveLevel", 7}};

// Loads the bundle built beside the tests.
std::unique_ptr<aaxhost::Host> LoadBundleHost();

// A host that has started and registered the module; shuts it down when it goes.
class RegisteredHost {
 public:
  explicit RegisteredHost(std::unique_ptr<aaxhost::Host> host);
  ~RegisteredHost();
  aaxhost::Host& operator*() { return *host_; }
  aaxhost::Host* operator->() { return host_.get(); }

 private:
  std::unique_ptr<aaxhost::Host> host_;
};

// The direct-data object's writes that do not lie inside one field it owns (QRV_AAX_RenderContext.h),
// one line each; empty when every write does.
std::string WritesOutsideOwnedFields(const std::vector<aaxhost::Instance::PrivateWrite>& writes);

// Deterministic test signal: a decaying mixture loud enough to make the compressor work.
std::vector<std::vector<float>> TestSignal(int channels, std::size_t frames, float rate);

}  // namespace qrv::aaxtest
