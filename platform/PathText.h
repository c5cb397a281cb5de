// Paths from and to the UTF-8 text everything inside keeps them in. On Linux a path is its bytes; on
// Windows a path is UTF-16 and std::filesystem::path(std::string) would read the bytes in the ANSI code
// page, so every path made from text, and every text taken from a path, goes through these. Any thread.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qrv::platform {

// On Windows an empty path for text that is not valid UTF-8: it names no file, so opening it fails.
std::filesystem::path PathFromUtf8(std::string_view text);
// On Windows "" for a name that cannot be UTF-8 (a lone surrogate).
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace qrv::platform
