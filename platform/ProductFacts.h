// What the product is, stated once for every binding, the editor and the tools: its identity, how often
// an open editor is ticked and how far its window zooms. Identifiers that hosts store (plug-in ids,
// URIs, state keys) belong to their bindings and never change with these texts. The version is
// generated from the build's one project version: platform/ProductVersion.h.
#pragma once

#include <cstdint>

// Macros, so that bindings can join them to other literals at compile time.
#define QRV_PRODUCT_NAME "QRV warmGlow"
#define QRV_PRODUCT_MAKER "Quarry-tone"
#define QRV_PRODUCT_DOMAIN "quarry-tone.com"

namespace qrv::product {

inline constexpr const char* kName = QRV_PRODUCT_NAME;
inline constexpr const char* kMaker = QRV_PRODUCT_MAKER;
// The maker's web site, the page the about box opens and the preset designer's link.
inline constexpr const char* kWebAddress = "https://" QRV_PRODUCT_DOMAIN "/";
inline constexpr const char* kWebAddressWww = "https://www." QRV_PRODUCT_DOMAIN "/";
inline constexpr const char* kLicenseAddress = "https://" QRV_PRODUCT_DOMAIN "/license";
inline constexpr const char* kSupportMail = "mailto:support@" QRV_PRODUCT_DOMAIN;
// One line for plug-in lists, and the longer sentence of the LV2 description.
inline constexpr const char* kSummary = "Opto compressor with valve colouring";
inline constexpr const char* kDescription =
    "Opto compressor with programme-dependent release, seven ratio curves and valve saturation.";

// The period of the shared tick that drives every open editor (meters, blinking, deferred work).
inline constexpr std::uint32_t kIdlePeriodMs = 33;

// The editor's zoom factor range; 0.01 or less stands for 1.0.
inline constexpr double kMinZoom = 0.7;
inline constexpr double kMaxZoom = 4.0;

}  // namespace qrv::product
