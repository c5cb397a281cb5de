// A loaded plug-in module: its nine entry points, found with dlopen/dlsym in a bundle folder
// ("NAME.aaxplugin/Contents/x86_64-linux/*.so"; on Windows LoadLibraryW/GetProcAddress on
// "NAME.aaxplugin/Contents/x64/*.aaxplugin"), or given directly for a module linked into the process.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "format/aax/sdk/AAX_Exports.h"

namespace qrv::aaxhost {

struct EntryPoints {
  ACFStartupProc startup = nullptr;
  ACFRegisterPluginProc registerPlugin = nullptr;
  ACFRegisterComponentProc registerComponent = nullptr;
  ACFGetClassFactoryProc getClassFactory = nullptr;
  ACFCanUnloadNowProc canUnloadNow = nullptr;
  ACFShutdownProc shutdown = nullptr;
  ACFGetSDKVersionProc getSDKVersion = nullptr;
  InitDllProc initDll = nullptr;
  ExitDllProc exitDll = nullptr;
  bool Complete() const;
};

class Module {
 public:
  // Loads the shared object of a bundle; null with *error set when the bundle has none or an entry
  // point is missing.
  static std::unique_ptr<Module> Load(const std::filesystem::path& bundle, std::string* error);
  // A module linked into this process.
  static std::unique_ptr<Module> FromEntries(const EntryPoints& entries, const std::filesystem::path& bundle = {});
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  const EntryPoints& entries() const { return entries_; }
  const std::filesystem::path& bundle() const { return bundle_; }
  const std::filesystem::path& binary() const { return binary_; }
  bool IsLoaded() const { return handle_ != nullptr; }

 private:
  Module() = default;
  void* handle_ = nullptr;
  EntryPoints entries_;
  std::filesystem::path bundle_, binary_;
};

// The shared object inside a bundle folder, or empty.
std::filesystem::path FindModuleBinary(const std::filesystem::path& bundle);

}  // namespace qrv::aaxhost
