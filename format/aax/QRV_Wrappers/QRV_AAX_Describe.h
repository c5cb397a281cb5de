// The plug-in's description: identity, the mono and stereo components with their render-context
// layout, meters, factory procedures and page table. Registration thread.
#pragma once

#include "format/aax/sdk/AAX_VDescription.h"
#include "platform/ProductFacts.h"

namespace qrv::aax {

inline constexpr const char* kEffectID = "com.quarrytone.aax.warmglow";
inline constexpr const char* kEffectName = product::kName;
// This host's own spelling of the maker, and a package version of its own: both are fixed by the host
// description and do not follow the product facts or the build version.
inline constexpr const char* kManufacturerName = "Quarrytone";
inline constexpr const char* kPackageNames[3] = {QRV_PRODUCT_NAME " - opto compressor", product::kName, product::kName};
inline constexpr uint32_t kPackageVersion = 2300;
inline constexpr AAX_CTypeID kManufacturerID = AAX_FourCC("QRVa");
inline constexpr AAX_CTypeID kProductID = AAX_FourCC("QVWG");
inline constexpr AAX_CTypeID kNativeIDMono = AAX_FourCC("VWGm");
inline constexpr AAX_CTypeID kNativeIDStereo = AAX_FourCC("VWGs");
inline constexpr AAX_CTypeID kAudioSuiteID = AAX_FourCC("VWGa");
inline constexpr const char* kPageTableFile = "QRVwarmGlowPageTables.xml";

// Describes the effect into a descriptor of the collection.
AAX_Result DescribeEffect(AAX_VEffectDescriptor& effect);

// The registration procedure of ACFRegisterPlugin; never throws.
AAX_Result RegisterPlugin(AAX_IACFUnknown* host, AAX_IACFUnknown** definition);

// Factory procedures 0, 5 and 1.
AAX_IEffectParameters* CreateEffectParameters();
AAX_IEffectDirectData* CreateEffectDirectData();
AAX_IEffectGUI* CreateEffectGUI();

}  // namespace qrv::aax
