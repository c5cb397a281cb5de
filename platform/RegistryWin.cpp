// The settings store on Windows: the current user's registry.
#include "platform/Registry.h"

#include "platform/WindowsApi.h"

#include <cstring>
#include <cwchar>

#include "platform/WideText.h"

namespace qrv::platform {
namespace {

// Far beyond any value of ours; a larger one is not read.
constexpr DWORD kMostBytes = 16u << 20;

class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_ != nullptr) ::RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::string Describe(LSTATUS status) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out;
  if (n > 0 && text != nullptr) {
    std::wstring_view w(text, n);
    while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r' || w.back() == L' ' || w.back() == L'.'))
      w.remove_suffix(1);
    if (auto u = Utf8FromWide(w)) out = std::move(*u);
  }
  if (text != nullptr) ::LocalFree(text);
  if (out.empty()) out = "registry error " + std::to_string(static_cast<long>(status));
  return out;
}

}  // namespace

std::optional<RegistryValue> WindowsRegistry::Read(std::string_view key, std::string_view name) {
  const auto wkey = WideFromUtf8(key);
  const auto wname = WideFromUtf8(name);
  if (!wkey || !wname) return std::nullopt;
  Key k;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, wkey->c_str(), 0, KEY_QUERY_VALUE, k.out()) != ERROR_SUCCESS)
    return std::nullopt;
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
  // The value may grow between asking its size and reading it: asked again then.
  for (int tries = 0; tries < 4; ++tries) {
    DWORD size = 0;
    if (::RegQueryValueExW(k.get(), wname->c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    if (size > kMostBytes) return std::nullopt;
    data.assign(size, 0);
    const LSTATUS rc = ::RegQueryValueExW(k.get(), wname->c_str(), nullptr, &type, data.data(), &size);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS || size > data.size()) return std::nullopt;
    data.resize(size);
    switch (type) {
      case REG_BINARY: return RegistryValue::Binary(std::move(data));
      case REG_DWORD: {
        if (data.size() != 4) return std::nullopt;
        const uint32_t n = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
        return RegistryValue::Number(n);
      }
      case REG_SZ: {
        if (data.size() % sizeof(wchar_t) != 0) return std::nullopt;
        std::wstring text(data.size() / sizeof(wchar_t), L'\0');
        std::memcpy(text.data(), data.data(), data.size());
        // Up to the terminator (which a value need not have).
        text.resize(std::wcslen(text.c_str()));
        auto utf8 = Utf8FromWide(text);
        if (!utf8) return std::nullopt;
        return RegistryValue::String(std::move(*utf8));
      }
      default: return std::nullopt;
    }
  }
  return std::nullopt;
}

bool WindowsRegistry::Write(std::string_view key, std::string_view name, const RegistryValue& value) {
  lastFailure_.clear();
  const auto wkey = WideFromUtf8(key);
  const auto wname = WideFromUtf8(name);
  if (!wkey || !wname) {
    lastFailure_ = "a key or value name is not valid UTF-8";
    return false;
  }
  std::wstring wtext;
  if (value.type == RegistryType::String) {
    auto w = WideFromUtf8(value.text);
    if (!w) {
      lastFailure_ = "the text is not valid UTF-8";
      return false;
    }
    wtext = std::move(*w);
  }
  Key k;
  LSTATUS rc = ::RegCreateKeyExW(HKEY_CURRENT_USER, wkey->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                 nullptr, k.out(), nullptr);
  if (rc != ERROR_SUCCESS) {
    lastFailure_ = "HKEY_CURRENT_USER\\" + std::string(key) + ": " + Describe(rc);
    return false;
  }
  switch (value.type) {
    case RegistryType::Binary:
      if (value.bytes.size() > kMostBytes) {
        lastFailure_ = "the value is too large";
        return false;
      }
      rc = ::RegSetValueExW(k.get(), wname->c_str(), 0, REG_BINARY, value.bytes.data(),
                            static_cast<DWORD>(value.bytes.size()));
      break;
    case RegistryType::Number: {
      const uint8_t le[4] = {static_cast<uint8_t>(value.number), static_cast<uint8_t>(value.number >> 8),
                             static_cast<uint8_t>(value.number >> 16), static_cast<uint8_t>(value.number >> 24)};
      rc = ::RegSetValueExW(k.get(), wname->c_str(), 0, REG_DWORD, le, sizeof le);
      break;
    }
    case RegistryType::String: {
      if (wtext.size() >= kMostBytes / sizeof(wchar_t)) {
        lastFailure_ = "the text is too long";
        return false;
      }
      // With its terminator, as Windows' own tools store a string.
      rc = ::RegSetValueExW(k.get(), wname->c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wtext.c_str()),
                            static_cast<DWORD>((wtext.size() + 1) * sizeof(wchar_t)));
      break;
    }
  }
  if (rc != ERROR_SUCCESS) {
    lastFailure_ = "HKEY_CURRENT_USER\\" + std::string(key) + "\\" + std::string(name) + ": " + Describe(rc);
    return false;
  }
  return true;
}

bool WindowsRegistry::Remove(std::string_view key, std::string_view name) {
  lastFailure_.clear();
  const auto wkey = WideFromUtf8(key);
  const auto wname = WideFromUtf8(name);
  if (!wkey || !wname) return false;
  Key k;
  LSTATUS rc = ::RegOpenKeyExW(HKEY_CURRENT_USER, wkey->c_str(), 0, KEY_SET_VALUE, k.out());
  if (rc == ERROR_FILE_NOT_FOUND) return false;  // nothing to remove
  if (rc == ERROR_SUCCESS) rc = ::RegDeleteValueW(k.get(), wname->c_str());
  if (rc == ERROR_FILE_NOT_FOUND) return false;
  if (rc != ERROR_SUCCESS) {
    lastFailure_ = "HKEY_CURRENT_USER\\" + std::string(key) + "\\" + std::string(name) + ": " + Describe(rc);
    return false;
  }
  return true;
}

}  // namespace qrv::platform
