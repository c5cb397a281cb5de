// What the plug-in remembers between runs outside the host's project: numeric settings by index, four
// favourite slots and a user default, the clipboard memo and the manual's path, all in the platform's
// registry (platform/Services.h) under the current user. Main (GUI) thread; nothing is cached except the
// process-wide hints flag and zoom.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dsp/ParameterSet.h"
#include "presets/IndexTable.h"

namespace qrv::settings {

inline constexpr std::string_view kNumericKey = "SOFTWARE\\Quarry-tone\\QRVWGME1";
inline constexpr std::string_view kPresetKey = "SOFTWARE\\Quarry-tone\\QRVWG1";
inline constexpr std::string_view kMemoValue = "MemoA";
inline constexpr std::string_view kManualPathValue = "ManualPath";

// Favourite slots 0..3 and the user default.
inline constexpr int kFavoriteSlots = 4;
inline constexpr int kFavoriteUserDefault = 4;
// A stored favourite must be longer than a blob header to count as assigned.
inline constexpr std::size_t kFavoriteMinSize = 41;
inline constexpr std::size_t kManualPathMax = 1024;
// The first line of the message a failed settings write shows; the store's reason follows.
inline constexpr const char* kCouldNotStoreSettings = "Could not store the settings";

// "QRVWG1: <index>".
std::string NumericValueName(int index);
// "Favorite_0".."Favorite_3", "Favorite_UserDefault"; "" for any other slot.
std::string FavoriteValueName(int slot);

// Writes that store nothing (a full disk, an unwritable folder) show a message box the first time in the
// process, with the store's reason; later failures are silent.
// Lets the next failure be reported again (tests).
void ResetFailureReport();

// Stores value as a 4-byte single. False when nothing was written.
bool WriteNumber(int index, double value);
// Replaces value only with a stored 4-byte single within 0..1; true when it did.
bool ReadNumber(int index, double& value);
// WriteNumber, skipped when the store already holds the same single: a write is a locked, synced
// read-modify-write of the whole file.
bool WriteNumberIfChanged(int index, double value);

// A binary value longer than 40 bytes.
bool FavoriteExists(int slot);
bool StoreFavorite(int slot, std::span<const uint8_t> blob);
// The stored bytes of a binary value; nullopt when missing, of another type or an invalid slot.
std::optional<std::vector<uint8_t>> LoadFavorite(int slot);
bool RemoveFavorite(int slot);

// The clipboard memo: the platform clipboard override when a test sets one, else the binary value
// "MemoA" of the preset key, shared by every process of the user.
bool StoreMemo(std::span<const uint8_t> blob);
std::optional<std::vector<uint8_t>> LoadMemo();

// At most 1024 wide characters, cut between characters; "" when not set. The value's type is not
// checked beyond being text.
std::string ReadManualPath();

// The installation's manual path, as `make install` stores it and uninstalling removes it. No message
// box: the caller (a command) reports the store's reason, given in `why`. A path over the 1024 wide
// characters ReadManualPath returns is refused.
bool StoreManualPath(const std::string& path, std::string* why = nullptr);
// Removes the stored path only while it is exactly `path`; true when it was removed.
bool RemoveManualPathIf(const std::string& path, std::string* why = nullptr);

// Installation records, beside each installed plug-in binary, which manual its prefix holds:
// "<binary>.manual", one absolute path. It serves when no path is stored (a system-wide install).
inline constexpr std::string_view kManualRecordSuffix = ".manual";
inline constexpr std::size_t kManualRecordMax = 4096;
// The path the record beside `binary` holds; "" when there is none, or it is not one absolute path of
// at most kManualRecordMax bytes in a regular file.
std::string RecordedManualPath(const std::filesystem::path& binary);
// What the configuration menu opens: the stored path, else the one recorded beside this binary.
std::string ManualToOpen();

// Zoom factor rule everywhere: 0.01 or less gives 1.0, then limited to 0.7..4.0.
double LimitZoomFactor(double factor);
// Stored index-59 value (factor / 10) to percent: 0.25 -> 250, 0.5 -> 400, 0.05 -> 70.
int ZoomPercentFromSetting(double stored);

// The process-wide hints flag (0 or 1) and zoom in percent, shared by every instance. Read from the
// store once, at module load (LoadProcessSettings) or on first use; LoadProcessSettings re-reads.
void LoadProcessSettings();
int ProcessHints();
void SetProcessHints(int hints);
int ProcessZoom();
void SetProcessZoom(int percent);

// Writes index 59 as limited factor x 0.1, and index 57 as the process-wide flag (0.0 or 1.0).
bool SaveZoom(int percent);
bool SaveHints();

}  // namespace qrv::settings
