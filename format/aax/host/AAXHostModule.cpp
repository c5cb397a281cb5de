#include "format/aax/host/AAXHostModule.h"

#include <dlfcn.h>

namespace qrv::aaxhost {

bool EntryPoints::Complete() const {
  return startup && registerPlugin && registerComponent && getClassFactory && canUnloadNow && shutdown &&
         getSDKVersion && initDll && exitDll;
}

std::filesystem::path FindModuleBinary(const std::filesystem::path& bundle) {
  std::error_code ec;
  const std::filesystem::path dir = bundle / "Contents" / "x86_64-linux";
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.path().extension() == ".so" && entry.is_regular_file(ec)) return entry.path();
  }
  return {};
}

namespace {
template <typename Proc>
bool Resolve(void* handle, const char* name, Proc& out, std::string* error) {
  out = reinterpret_cast<Proc>(dlsym(handle, name));
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
  void* handle = dlopen(binary.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (error != nullptr) *error = dlerror();
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
  if (handle_ != nullptr) dlclose(handle_);
}

}  // namespace qrv::aaxhost
