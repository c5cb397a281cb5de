// <windows.h> as platform/'s Windows sources include it: without the rarely used parts and without the
// min and max macros. Never included by a public header.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
