// Setting this process's environment variables from tests, on Linux and on Windows (where a value goes
// in as UTF-16, so that paths with any character reach the code that reads them with
// GetEnvironmentVariableW).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qrv::test {

void SetEnvPath(const char* name, const std::filesystem::path& value);
// value is UTF-8.
void SetEnv(const char* name, const std::string& value);
void UnsetEnv(const char* name);
// The variable as UTF-8; nullopt when it is not set.
std::optional<std::string> GetEnv(const char* name);

#ifdef _WIN32
// UTF-8 and UTF-16 for the tests' own Windows calls (the conversions under test live in platform/).
std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);
#endif

}  // namespace qrv::test
