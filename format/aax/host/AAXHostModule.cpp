#include "format/aax/host/AAXHostModule.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace qrv::aaxhost {

namespace {

// The platform's loader: the bundle's binary folder and extension, and open/symbol/close/last error.
#ifdef _WIN32
constexpr const char* kBinaryFolder = "x64";
constexpr const char* kBinaryExtension = ".aaxplugin";

// UTF-16 paths throughout, so that a bundle anywhere (any user name, any language) loads.
void* OpenLibrary(const std::filesystem::path& binary) {
  return reinterpret_cast<void*>(LoadLibraryExW(binary.wstring().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}
void* LibrarySymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void CloseLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
std::string LoadError() { return "LoadLibrary failed with error " + std::to_string(GetLastError()); }
#else
constexpr const char* kBinaryFolder = "x86_64-linux";
constexpr const char* kBinaryExtension = ".so";

void* OpenLibrary(const std::filesystem::path& binary) { return dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* LibrarySymbol(void* handle, const char* name) { return dlsym(handle, name); }
void CloseLibrary(void* handle) { dlclose(handle); }
std::string LoadError() {
  const char* text = dlerror();
  return text != nullptr ? text : "dlopen failed";
}
#endif

}  // namespace

bool EntryPoints::Complete() const {
  return startup && registerPlugin && registerComponent && getClassFactory && canUnloadNow && shutdown &&
         getSDKVersion && initDll && exitDll;
}

std::filesystem::path FindModuleBinary(const std::filesystem::path& bundle) {
  std::error_code ec;
  const std::filesystem::path dir = bundle / "Contents" / kBinaryFolder;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.path().extension() == kBinaryExtension && entry.is_regular_file(ec)) return entry.path();
  }
  return {};
}

namespace {
template <typename Proc>
bool Resolve(void* handle, const char* name, Proc& out, std::string* error) {
  out = reinterpret_cast<Proc>(LibrarySymbol(handle, name));
  if (out == nullptr && error != nullptr) *error = std::string("missing entry point ") + name;
  return out != nullptr;
}
}  // namespace

std::unique_ptr<Module> Module::Load(const std::filesystem::path& bundle, std::string* error) {
  const std::filesystem::path binary = FindModuleBinary(bundle);
  if (binary.empty()) {
    if (error != nullptr) *error = "no module binary in " + bundle.string();
    return nullptr;
  }
  void* handle = OpenLibrary(binary);
  if (handle == nullptr) {
    if (error != nullptr) *error = LoadError();
    return nullptr;
  }
  std::unique_ptr<Module> m(new Module());
  m->handle_ = handle;
  m->bundle_ = bundle;
  m->binary_ = binary;
  EntryPoints& e = m->entries_;
  const bool ok = Resolve(handle, "ACFStartup", e.startup, error) &&
                  Resolve(handle, "ACFRegisterPlugin", e.registerPlugin, error) &&
                  Resolve(handle, "ACFRegisterComponent", e.registerComponent, error) &&
                  Resolve(handle, "ACFGetClassFactory", e.getClassFactory, error) &&
                  Resolve(handle, "ACFCanUnloadNow", e.canUnloadNow, error) &&
                  Resolve(handle, "ACFShutdown", e.shutdown, error) &&
                  Resolve(handle, "ACFGetSDKVersion", e.getSDKVersion, error) &&
                  Resolve(handle, "InitDll", e.initDll, error) && Resolve(handle, "ExitDll", e.exitDll, error);
  if (!ok) return nullptr;
  return m;
}

std::unique_ptr<Module> Module::FromEntries(const EntryPoints& entries, const std::filesystem::path& bundle) {
  std::unique_ptr<Module> m(new Module());
  m->entries_ = entries;
  m->bundle_ = bundle;
  return m;
}

Module::~Module() {
  if (handle_ != nullptr) CloseLibrary(handle_);
}

}  // namespace qrv::aaxhost
