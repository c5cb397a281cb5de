// What hosts store and show of the plug-ins: ids (never change them), names and vendor.
#pragma once

#include "platform/ProductFacts.h"

namespace qrv::clap {

inline constexpr const char* kPluginIdMono = "com.quarry-tone.warmglow.mono";
inline constexpr const char* kPluginIdStereo = "com.quarry-tone.warmglow.stereo";
inline constexpr const char* kPluginNameMono = QRV_PRODUCT_NAME " Mono";
inline constexpr const char* kPluginNameStereo = QRV_PRODUCT_NAME " Stereo";
inline constexpr const char* kVendor = product::kMaker;
// The site without the trailing slash, as the descriptors have always given it.
inline constexpr const char* kUrl = "https://" QRV_PRODUCT_DOMAIN;
inline constexpr const char* kDescription = product::kSummary;

}  // namespace qrv::clap
