// The shell's "open" verb on Windows: a document is handed to the program its type is registered with
// (here this test program, registered for a type of its own), by its full
// UTF-16 path; a missing one is reported as ShellExecute reports it.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/PathText.h"
#include "platform/Shell.h"
#include "tests/platform/WindowsTestSupport.h"
#include "tests/support/TempDir.h"

namespace qrv::platform {
namespace {

namespace fs = std::filesystem;

// The opener's role: records the command line it was given, as UTF-16, in the file the argument names.
const bool g_openerRole = test::RegisterRole("record-command-line", [](const std::string& marker) {
  const std::wstring line = ::GetCommandLineW();
  std::ofstream out(PathFromUtf8(marker), std::ios::binary);
  out.write(reinterpret_cast<const char*>(line.data()), static_cast<std::streamsize>(line.size() * sizeof(wchar_t)));
});

std::wstring ReadWide(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  const std::string bytes = s.str();
  std::wstring out(bytes.size() / sizeof(wchar_t), L'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * sizeof(wchar_t));
  return out;
}

// In the merged classes view (the current user's classes on Windows; Wine's view has the machine's).
void SetDefault(const std::wstring& key, const std::wstring& value) {
  HKEY k = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(k);
}

TEST(WindowsShell, OpensADocumentWithItsRegisteredProgram) {
  ASSERT_TRUE(g_openerRole);
  const std::wstring ext = L".qrvtest" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring cls = L"QrvTestDocument" + std::to_wstring(::GetCurrentProcessId());
  wchar_t self[MAX_PATH * 4] = {};
  ASSERT_GT(::GetModuleFileNameW(nullptr, self, MAX_PATH * 4), 0u);
  SetDefault(ext, cls);
  SetDefault(cls + L"\\shell\\open\\command", L"\"" + std::wstring(self) + L"\" \"%1\"");

  test::TempDir dir;
  const fs::path marker = dir.path() / "opened.txt";
  const fs::path document = dir.path() / (L"Handbuch \u00FCber \u97F3" + ext);
  std::ofstream(document) << "manual";
  // The opener is this program in its role: it inherits the role from this environment.
  ::SetEnvironmentVariableW(L"QRV_TEST_ROLE", L"record-command-line");
  ::SetEnvironmentVariableW(L"QRV_TEST_ROLE_ARGUMENT", marker.c_str());
  SystemShell shell;
  const int result = shell.Open(Utf8FromPath(document));
  ::SetEnvironmentVariableW(L"QRV_TEST_ROLE", nullptr);
  ::SetEnvironmentVariableW(L"QRV_TEST_ROLE_ARGUMENT", nullptr);
  ::RegDeleteTreeW(HKEY_CLASSES_ROOT, cls.c_str());
  ::RegDeleteKeyW(HKEY_CLASSES_ROOT, cls.c_str());
  ::RegDeleteTreeW(HKEY_CLASSES_ROOT, ext.c_str());
  ::RegDeleteKeyW(HKEY_CLASSES_ROOT, ext.c_str());
  ASSERT_GT(result, 32);
  // The program starts on its own; its record appears once it has run.
  for (int i = 0; i < 1200 && !fs::exists(marker); ++i) ::Sleep(50);
  ASSERT_TRUE(fs::exists(marker));
  for (int i = 0; i < 200 && ReadWide(marker).empty(); ++i) ::Sleep(50);
  EXPECT_NE(ReadWide(marker).find(document.native()), std::wstring::npos) << Utf8FromPath(marker);
}

TEST(WindowsShell, AMissingTargetIsAFailureAsShellExecuteReportsIt) {
  test::TempDir dir;
  SystemShell shell;
  const int result = shell.Open(Utf8FromPath(dir.path() / L"nicht da \u97F3.pdf"));
  EXPECT_LE(result, 32);
  EXPECT_EQ(result, kShellFileNotFound);
  EXPECT_LE(shell.Open("C:\\bad\xFF.pdf"), 32);
}

}  // namespace
}  // namespace qrv::platform
