// Loading a built module as a host does: dlopen/dlsym on Linux, LoadLibraryW/GetProcAddress on Windows
// (UTF-16 paths there). Modules stay loaded for the process (RTLD_NODELETE), as most hosts keep them.
#pragma once

#include <string>

namespace qrv::test {

// Null with *error set when the module does not load. `path` is UTF-8.
void* OpenLibrary(const std::string& path, std::string* error);
// Null when the module has no such export.
void* LibrarySymbol(void* handle, const char* name);
void CloseLibrary(void* handle);

}  // namespace qrv::test
