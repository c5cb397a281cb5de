// UTF-8 (the text of everything inside) to UTF-16 (the text of every Windows call) and back. Windows only.
// Any thread.
#pragma once

#ifdef _WIN32

#include <optional>
#include <string>
#include <string_view>

namespace qrv::platform {

// nullopt for text that is not valid UTF-8: a name is refused whole rather than handed on with a
// replacement character that would name another file.
std::optional<std::wstring> WideFromUtf8(std::string_view text);
// nullopt for a lone surrogate (which Windows file names may hold).
std::optional<std::string> Utf8FromWide(std::wstring_view text);

}  // namespace qrv::platform

#endif
