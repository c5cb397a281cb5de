#include "presets/SettingsStore.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "dsp/LittleEndian.h"
#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "platform/PathText.h"
#include "platform/ProductFacts.h"
#include "platform/Services.h"

namespace qrv::settings {
namespace {

using platform::GetRegistry;
using platform::Registry;
using platform::RegistryType;
using platform::RegistryValue;

struct ProcessSettings {
  bool loaded = false;
  int hints = 1;
  int zoom = 100;
};

ProcessSettings g_process;
bool g_failureReported = false;

// A write that stored nothing is told to the user once per process, with the store's reason: a full
// disk or an unwritable folder is something the user can mend. A value that was simply not there to
// remove is no failure.
bool Reported(bool ok) {
  if (ok || g_failureReported) return ok;
  const std::string why = GetRegistry().LastFailure();
  if (why.empty()) return ok;
  g_failureReported = true;
  platform::GetMessageBox().Show(std::string(kCouldNotStoreSettings) + "\n" + why, "QRV warmGlow");
  return ok;
}

ProcessSettings& Process() {
  if (!g_process.loaded) LoadProcessSettings();
  return g_process;
}

// A character's UTF-8 byte length from its lead byte, and its length in UTF-16 units (two beyond the
// BMP): the manual path's limit counts wide characters, as the value is stored on Windows.
std::size_t Utf8Length(unsigned char lead) { return lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 1; }
std::size_t WideUnits(unsigned char lead) { return lead >= 0xf0 ? 2 : 1; }
}  // namespace

std::string NumericValueName(int index) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "QRVWG1: %d", index);
  return buf;
}

std::string FavoriteValueName(int slot) {
  if (slot >= 0 && slot < kFavoriteSlots) return "Favorite_" + std::to_string(slot);
  if (slot == kFavoriteUserDefault) return "Favorite_UserDefault";
  return {};
}

bool WriteNumber(int index, double value) {
  const uint32_t bits = std::bit_cast<uint32_t>(static_cast<float>(value));
  std::vector<uint8_t> bytes(4);
  le::Store32(bytes.data(), bits);
  return Reported(GetRegistry().Write(kNumericKey, NumericValueName(index), RegistryValue::Binary(std::move(bytes))));
}

bool ReadNumber(int index, double& value) {
  const auto v = GetRegistry().Read(kNumericKey, NumericValueName(index));
  if (!v) return false;
  uint32_t bits = 0;
  if (v->type == RegistryType::Binary && v->bytes.size() == 4) {
    bits = le::Load32(v->bytes.data());
  } else if (v->type == RegistryType::Number) {
    bits = v->number;
  } else {
    return false;  // a value of another size cannot hold one single
  }
  const float f = std::bit_cast<float>(bits);
  if (!(f >= 0.0f && f <= 1.0f)) return false;
  value = f;
  return true;
}

bool FavoriteExists(int slot) {
  const std::string name = FavoriteValueName(slot);
  if (name.empty()) return false;
  const auto v = GetRegistry().Read(kPresetKey, name);
  return v && v->type == RegistryType::Binary && v->bytes.size() >= kFavoriteMinSize;
}

bool StoreFavorite(int slot, std::span<const uint8_t> blob) {
  const std::string name = FavoriteValueName(slot);
  if (name.empty()) return false;
  return Reported(GetRegistry().Write(kPresetKey, name, RegistryValue::Binary({blob.begin(), blob.end()})));
}

std::optional<std::vector<uint8_t>> LoadFavorite(int slot) {
  const std::string name = FavoriteValueName(slot);
  if (name.empty()) return std::nullopt;
  auto v = GetRegistry().Read(kPresetKey, name);
  if (!v || v->type != RegistryType::Binary) return std::nullopt;
  return std::move(v->bytes);
}

bool RemoveFavorite(int slot) {
  const std::string name = FavoriteValueName(slot);
  return !name.empty() && Reported(GetRegistry().Remove(kPresetKey, name));
}

bool StoreMemo(std::span<const uint8_t> blob) {
  if (platform::Clipboard* c = platform::GetClipboardOverride()) return c->Store(blob);
  platform::RegistryClipboard memo(GetRegistry(), std::string(kPresetKey), std::string(kMemoValue));
  return Reported(memo.Store(blob));
}

std::optional<std::vector<uint8_t>> LoadMemo() {
  if (platform::Clipboard* c = platform::GetClipboardOverride()) return c->Load();
  platform::RegistryClipboard memo(GetRegistry(), std::string(kPresetKey), std::string(kMemoValue));
  return memo.Load();
}

std::string ReadManualPath() {
  const auto v = GetRegistry().Read(kPresetKey, kManualPathValue);
  if (!v || v->type != RegistryType::String) return {};
  std::string path = v->text.substr(0, std::min(v->text.size(), strnlen(v->text.c_str(), v->text.size())));
  // Cut only between characters, never inside one's UTF-8 bytes.
  std::size_t units = 0;
  for (std::size_t i = 0; i < path.size();) {
    const auto lead = static_cast<unsigned char>(path[i]);
    if (units + WideUnits(lead) > kManualPathMax) {
      path.resize(i);
      break;
    }
    units += WideUnits(lead);
    i += Utf8Length(lead);
  }
  return path;
}

bool StoreManualPath(const std::string& path, std::string* why) {
  // Stored longer, it would be read back cut: refused instead.
  std::size_t units = 0;
  for (std::size_t i = 0; i < path.size(); i += Utf8Length(static_cast<unsigned char>(path[i])))
    units += WideUnits(static_cast<unsigned char>(path[i]));
  if (units > kManualPathMax) {
    if (why) *why = "the path is longer than the settings keep (" + std::to_string(kManualPathMax) + " characters)";
    return false;
  }
  Registry& store = GetRegistry();
  if (store.Write(kPresetKey, kManualPathValue, RegistryValue::String(path))) return true;
  if (why) *why = store.LastFailure();
  return false;
}

bool RemoveManualPathIf(const std::string& path, std::string* why) {
  Registry& store = GetRegistry();
  const auto v = store.Read(kPresetKey, kManualPathValue);
  if (!v || v->type != RegistryType::String || v->text != path) return false;
  if (store.Remove(kPresetKey, kManualPathValue)) return true;
  if (why) *why = store.LastFailure();
  return false;
}

std::string RecordedManualPath(const std::filesystem::path& binary) {
  if (binary.empty()) return {};
  std::filesystem::path record = binary;
  record += std::string(kManualRecordSuffix);
  // One more byte than allowed tells a record that is too long from one that fits.
  const auto bytes = platform::ReadWholeFile(record, kManualRecordMax + 1);
  if (!bytes || bytes->size() > kManualRecordMax) return {};
  std::string text(bytes->begin(), bytes->end());
  if (!text.empty() && text.back() == '\n') text.pop_back();
  // One absolute path on one line, nothing a shell or an opener could read as more.
  if (text.empty() || !platform::PathFromUtf8(text).is_absolute() ||
      text.find_first_of(std::string_view("\n\r\0", 3)) != std::string::npos)
    return {};
  return text;
}

std::string ManualToOpen() {
  std::string path = ReadManualPath();
  if (path.empty()) path = RecordedManualPath(platform::OwnBinaryFile());
  return path;
}

double LimitZoomFactor(double factor) {
  if (!(factor > 0.01)) return 1.0;  // NaN included
  return std::clamp(factor, product::kMinZoom, product::kMaxZoom);
}

int ZoomPercentFromSetting(double stored) {
  return static_cast<int>(std::lround(LimitZoomFactor(stored * 10.0) * 100.0));
}

void LoadProcessSettings() {
  ProcessSettings* const s = &g_process;
  s->loaded = true;
  double hints = 1.0;
  ReadNumber(kSettingHints, hints);
  s->hints = static_cast<int>(hints) >= 1 ? 1 : 0;
  double zoom = 0.1;
  ReadNumber(kSettingZoom, zoom);
  s->zoom = ZoomPercentFromSetting(zoom);
}

int ProcessHints() { return Process().hints; }
void SetProcessHints(int hints) { Process().hints = hints != 0 ? 1 : 0; }
int ProcessZoom() { return Process().zoom; }
void SetProcessZoom(int percent) { Process().zoom = percent; }

bool WriteNumberIfChanged(int index, double value) {
  double stored = 0.0;
  if (ReadNumber(index, stored) && static_cast<float>(stored) == static_cast<float>(value)) return true;
  return WriteNumber(index, value);
}

void ResetFailureReport() { g_failureReported = false; }

bool SaveZoom(int percent) { return WriteNumberIfChanged(kSettingZoom, LimitZoomFactor(percent / 100.0) * 0.1); }
bool SaveHints() { return WriteNumberIfChanged(kSettingHints, ProcessHints() != 0 ? 1.0 : 0.0); }

}  // namespace qrv::settings
