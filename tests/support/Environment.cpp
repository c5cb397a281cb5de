#include "tests/support/Environment.h"

#include <cstdlib>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace qrv::test {

#ifdef _WIN32
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

namespace {

void SetWide(const char* name, const std::wstring& value) {
  // Both the C runtime's copy and the process's (which GetEnvironmentVariableW and children read).
  _wputenv_s(Wide(name).c_str(), value.c_str());
  ::SetEnvironmentVariableW(Wide(name).c_str(), value.empty() ? nullptr : value.c_str());
}

}  // namespace

void SetEnvPath(const char* name, const std::filesystem::path& value) { SetWide(name, value.native()); }
void SetEnv(const char* name, const std::string& value) { SetWide(name, Wide(value)); }
void UnsetEnv(const char* name) { SetWide(name, L""); }
std::optional<std::string> GetEnv(const char* name) {
  const std::wstring wname = Wide(name);
  const DWORD n = ::GetEnvironmentVariableW(wname.c_str(), nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring value(n, L'\0');
  const DWORD got = ::GetEnvironmentVariableW(wname.c_str(), value.data(), n);
  value.resize(got);
  return Narrow(value);
}
#else
void SetEnvPath(const char* name, const std::filesystem::path& value) { ::setenv(name, value.c_str(), 1); }
void SetEnv(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }
void UnsetEnv(const char* name) { ::unsetenv(name); }
std::optional<std::string> GetEnv(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::optional<std::string>(v) : std::nullopt;
}
#endif

}  // namespace qrv::test
