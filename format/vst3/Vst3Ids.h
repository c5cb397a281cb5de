// What hosts store and show of the VST3 plug-ins: class ids (never change them; sessions and presets
// name the plug-ins by them), names and the program list's id.
#pragma once

#include <cstdio>
#include <string>

#include "format/vst3/Vst3Abi.h"
#include "platform/ProductFacts.h"

namespace qrv::vst3 {

inline constexpr abi::Uid kClassIdMono = abi::MakeUid(0xCD0EB5F5, 0x359C4F70, 0xBCAC53AB, 0xE86077B4);
inline constexpr abi::Uid kClassIdStereo = abi::MakeUid(0xFAA7827A, 0x2D5B4346, 0xAE2306C8, 0x0D49366D);
inline constexpr const char* kNameMono = QRV_PRODUCT_NAME " Mono";
inline constexpr const char* kNameStereo = QRV_PRODUCT_NAME " Stereo";
inline constexpr const char* kVendor = QRV_PRODUCT_MAKER;
inline constexpr const char* kUrl = "https://" QRV_PRODUCT_DOMAIN;
inline constexpr const char* kEmail = "support@" QRV_PRODUCT_DOMAIN;

// A class id as moduleinfo.json and .vstpreset files write it: 32 upper-case hex digits in the order the
// id is written, on every platform (on Windows that is not the byte order), so that files made on one
// platform name the same class on another.
inline std::string UidHex(const abi::Uid& uid) {
  std::string text;
  char digits[3];
  for (char b : abi::PlainOrder(uid).bytes) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(static_cast<unsigned char>(b)));
    text += digits;
  }
  return text;
}

// The one program list (the factory presets) of the root unit.
inline constexpr abi::ProgramListID kProgramListId = 1;

}  // namespace qrv::vst3
