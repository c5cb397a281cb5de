// Under the thread sanitizer: the bundle's binary links pango and its font libraries for the editor,
// and the sanitizer ends the process when a library that a called_from_lib suppression names
// (cmake/tsan.supp) is unloaded, as freeing the last instance does. The test program holds those
// libraries for its whole run, as a host with a toolkit of its own does; the binary itself still loads
// and unloads with its instances.
#if defined(__SANITIZE_THREAD__)
#include <dlfcn.h>

namespace {

constexpr const char* kLibraries[] = {"libfontconfig.so.1", "libfreetype.so.6",     "libharfbuzz.so.0",
                                      "libpango-1.0.so.0",  "libpangoft2-1.0.so.0", "libpangocairo-1.0.so.0"};

const bool kHeld = [] {
  for (const char* library : kLibraries) dlopen(library, RTLD_NOW | RTLD_NODELETE);
  return true;
}();

}  // namespace
#endif
