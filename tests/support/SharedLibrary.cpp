#include "tests/support/SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace qrv::test {

#ifdef _WIN32

namespace {
std::wstring Utf16(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}
}  // namespace

void* OpenLibrary(const std::string& path, std::string* error) {
  HMODULE module = LoadLibraryExW(Utf16(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr && error != nullptr) *error = "LoadLibrary failed with error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(module);
}

void* LibrarySymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void CloseLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

#else

void* OpenLibrary(const std::string& path, std::string* error) {
  // RTLD_NODELETE: the module links glib, fontconfig and X11 for the editor, whose load-time tables
  // LeakSanitizer reports as leaks once their libraries are unloaded.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr && error != nullptr) {
    const char* text = dlerror();
    *error = text != nullptr ? text : "dlopen failed";
  }
  return handle;
}

void* LibrarySymbol(void* handle, const char* name) { return dlsym(handle, name); }

void CloseLibrary(void* handle) { dlclose(handle); }

#endif

}  // namespace qrv::test
