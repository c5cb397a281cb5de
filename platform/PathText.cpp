#include "platform/PathText.h"

#ifdef _WIN32
#include "platform/WideText.h"
#endif

namespace qrv::platform {

std::filesystem::path PathFromUtf8(std::string_view text) {
#ifdef _WIN32
  auto wide = WideFromUtf8(text);
  return wide ? std::filesystem::path(std::move(*wide)) : std::filesystem::path();
#else
  return std::filesystem::path(std::string(text));
#endif
}

std::string Utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
  auto text = Utf8FromWide(path.native());
  return text ? std::move(*text) : std::string();
#else
  return path.native();
#endif
}

}  // namespace qrv::platform
