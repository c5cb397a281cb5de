// Folders from the environment on Windows: read as UTF-16, so that a user name of any script works.
#include "platform/Environment.h"

#include "platform/WindowsApi.h"

#include <optional>

#include "platform/PathText.h"
#include "platform/WideText.h"

namespace qrv::platform {
namespace {

// The variable's value as UTF-8; nullopt when it is not set, empty, or not text.
std::optional<std::string> Variable(const wchar_t* name) {
  std::wstring value(256, L'\0');
  for (int tries = 0; tries < 4; ++tries) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD n = ::GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    if (n == 0) return std::nullopt;
    if (n < value.size()) {
      value.resize(n);
      return Utf8FromWide(value);
    }
    value.assign(n, L'\0');  // n counts the terminator when the buffer was too small
  }
  return std::nullopt;
}

// A relative folder would put the user's files into whatever folder a program happens to start in.
std::string Absolute(std::string path) { return PathFromUtf8(path).is_absolute() ? path : std::string(); }

}  // namespace

std::string HomeFolder() {
  if (auto v = Variable(L"USERPROFILE")) return Absolute(std::move(*v));
  const auto drive = Variable(L"HOMEDRIVE");
  const auto path = Variable(L"HOMEPATH");
  if (drive && path) return Absolute(*drive + *path);
  return {};
}

std::string UserProfileFolder() { return HomeFolder(); }

std::filesystem::path ConfigFolder() {
  if (auto v = Variable(L"QRV_CONFIG_DIR")) return PathFromUtf8(Absolute(std::move(*v)));
  if (auto v = Variable(L"APPDATA")) {
    const std::string folder = Absolute(std::move(*v));
    if (!folder.empty()) return PathFromUtf8(folder) / "Quarry-tone";
  }
  return {};
}

std::string ConfigFolderProblem() {
  if (!ConfigFolder().empty()) return {};
  if (Variable(L"QRV_CONFIG_DIR")) return "QRV_CONFIG_DIR is not an absolute path";
  if (Variable(L"APPDATA")) return "APPDATA is not an absolute path";
  return "APPDATA is not set";
}

std::filesystem::path OwnBinaryFile() {
  HMODULE self = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&OwnBinaryFile), &self))
    return {};
  std::wstring name(MAX_PATH, L'\0');
  for (int tries = 0; tries < 6; ++tries) {
    const DWORD n = ::GetModuleFileNameW(self, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return {};
    if (n < name.size()) {
      name.resize(n);
      return std::filesystem::path(name);
    }
    name.assign(name.size() * 2, L'\0');
  }
  return {};
}

}  // namespace qrv::platform
