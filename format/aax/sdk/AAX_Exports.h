// Signatures of the nine entry points a module exports with C linkage; the host finds them by name.
#pragma once

#include <cstdint>

#include "format/aax/sdk/AAX_Interfaces.h"

extern "C" {
using ACFStartupProc = AAX_Result (*)(AAX_IACFUnknown* host);
using ACFRegisterPluginProc = AAX_Result (*)(AAX_IACFUnknown* host, AAX_IACFUnknown** definition);
using ACFRegisterComponentProc = AAX_Result (*)(AAX_IACFUnknown* host, uint32_t index, AAX_IACFUnknown** component);
using ACFGetClassFactoryProc = AAX_Result (*)(AAX_IACFUnknown* host, uint32_t classID, uint32_t interfaceID,
                                              void** factory);
using ACFCanUnloadNowProc = AAX_Result (*)(AAX_IACFUnknown* host);
using ACFShutdownProc = AAX_Result (*)(AAX_IACFUnknown* host);
using ACFGetSDKVersionProc = AAX_Result (*)(uint64_t* version);
using InitDllProc = bool (*)();
using ExitDllProc = bool (*)();
}

inline constexpr uint64_t AAX_SDK_VERSION = 0x0000020801345981ull;
