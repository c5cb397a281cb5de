// ExportedSymbols on Windows: the names of a DLL's export directory, read from the mapped image (its
// DllMain does not run, nothing it imports is loaded).
#include <windows.h>

#include "tests/support/ExportedSymbols.h"

namespace qrv::test {

std::set<std::string> ExportedSymbols(const std::filesystem::path& binary) {
  std::set<std::string> names;
  HMODULE module = LoadLibraryExW(binary.wstring().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (module == nullptr) return names;
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (dir.VirtualAddress != 0 && dir.Size != 0) {
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* rvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD k = 0; k < exports->NumberOfNames; ++k) names.insert(reinterpret_cast<const char*>(base + rvas[k]));
    // Exports by ordinal alone have no name: count them, so that a module cannot hide one.
    for (DWORD k = exports->NumberOfNames; k < exports->NumberOfFunctions; ++k) names.insert("#ordinal" + std::to_string(k));
  }
  FreeLibrary(module);
  return names;
}

}  // namespace qrv::test
