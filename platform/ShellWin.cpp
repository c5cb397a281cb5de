// The shell's "open" verb and message boxes on Windows.
#include "platform/Shell.h"

#include "platform/WindowsApi.h"
#include <shellapi.h>

#include <cstdint>
#include <cstdio>

#include "platform/WideText.h"

namespace qrv::platform {

int SystemShell::Open(const std::string& target) {
  const auto wide = WideFromUtf8(target);
  if (!wide || wide->empty()) return kShellFileNotFound;
  const HINSTANCE result = ::ShellExecuteW(nullptr, L"open", wide->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  // Above 32 means success; at or below, ShellExecute's own error codes, which the callers test.
  const auto code = static_cast<intptr_t>(reinterpret_cast<uintptr_t>(result));
  return code > 32 ? kShellOpenOk : static_cast<int>(code);
}

int SystemMessageBox::Show(const std::string& text, const std::string& caption) {
  const auto wtext = WideFromUtf8(text);
  const auto wcaption = WideFromUtf8(caption);
  if (wtext && wcaption && ::MessageBoxW(nullptr, wtext->c_str(), wcaption->c_str(), MB_OK) != 0)
    return kMessageBoxOk;
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return kMessageBoxOk;
}

}  // namespace qrv::platform
