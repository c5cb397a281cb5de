// What hosts store and show of the plug-ins: ids (never change them), names and vendor.
#pragma once

namespace qrv::clap {

inline constexpr const char* kPluginIdMono = "com.quarry-tone.warmglow.mono";
inline constexpr const char* kPluginIdStereo = "com.quarry-tone.warmglow.stereo";
inline constexpr const char* kPluginNameMono = "QRV warmGlow Mono";
inline constexpr const char* kPluginNameStereo = "QRV warmGlow Stereo";
inline constexpr const char* kVendor = "Quarry-tone";
inline constexpr const char* kUrl = "https://quarry-tone.com";
inline constexpr const char* kDescription = "Opto compressor with valve colouring";

}  // namespace qrv::clap
