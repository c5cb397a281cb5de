// Windows' error codes as the errno values the callers of the platform layer sort failures by. Windows
// only; included by platform/'s Windows sources alone.
#pragma once

#ifdef _WIN32

#include <cerrno>

namespace qrv::platform {

// The errno nearest to a GetLastError() code; EIO for the rest.
int ErrnoFromWindowsError(unsigned long error);

}  // namespace qrv::platform

#endif
