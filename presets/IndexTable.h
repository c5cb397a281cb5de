// The numbers that travel between the host binding, the controller, the editor window, the preset bar and
// the product panel, in one table. There are three spaces, and a number means something only within its
// space:
//   - controller indices: what the set-parameter and value-changed paths carry. 0..28 are the parameter
//     slots (dsp/ParameterSet.h); the messages follow the slots;
//   - control tags: which control of the window reported an edit (the panel's controls carry their slot);
//   - setting indices: the settings store's keys that are not preset slots.
// 57 is all three at once: the hints message, the configuration's hints control, the hints setting.
#pragma once

#include <algorithm>
#include <array>

#include "dsp/ParameterSet.h"

namespace qrv {

// ---- controller indices beside the slots
enum MessageIndex : int {
  kMessageHostState = 29,   // a host state was restored: the controller's values are the host's
  kMessageAcceptReference = 54,
  kMessageHints = 57,       // the hints flag (1 shown)
  kMessageZoom = 59,        // the zoom as a setting value; to the bar: the manager's zoom was restored
  kMessageRefreshAll = 69,  // the bar reads the whole preset state again
  kMessagePresetStart = 70, // brackets the values of one preset load
  kMessagePresetStop = 71,
  kMessageMeterReset = 72,
  // Notifications from the preset bar's overlays to the panel (through the window).
  kMessageBrowserOpening = 89,
  kMessageBrowserClosed = 90,
  kMessageConfigOpening = 91,
  kMessageConfigClosed = 92,
  // The about box: the panel shows it; the configuration opens (again) on its "Plugin info" page.
  kMessageShowAbout = 93,
  // The about box goes: the panel hides it; the configuration turns to its settings page and closes
  // unless told to stay open.
  kMessageHideAbout = 94,
};

// ---- control tags beside the slots' own
enum ControlTag : int {
  // The panel.
  kTagNameButton = 14,
  kTagVuMeter = 15,
  kTagAbout = 28,
  // The preset bar.
  kTagBarName = 30,
  kTagBarNudge = 32,
  kTagBarSave = 36,
  kTagSaveDialogName = 37,  // the save dialog's own field; the bar leaves it alone
  kTagBarCopy = 49,
  kTagBarPaste = 51,
  kTagConfigManual = 55,
  kTagConfigHints = 57,
  kTagConfigHighQuality = 58,  // the configuration's High quality row, where a binding offers it
  kTagBarZoom = 60,
  kTagConfigPage = 62,
  kTagConfigToggle = 63,  // the bar's configuration button, and the overlay's own exit
  kTagBrowserBank = 75,
  kTagBrowserGroups = 76,
  kTagBrowserPresets = 77,
  kTagBrowserInfo = 78,
  kTagBrowserSpare1 = 79,  // routed to the browser, used by none of its controls
  kTagBarUndoRedo = 81,
  kTagBarAB = 82,
  kTagBarABCopy = 83,
  kTagBrowserSpare2 = 84,
  kTagBrowserSpare3 = 85,
  kTagCloseOverlay = 87,
  kTagBrowserDesigner = 88,
  kTagBarUserDefault = 95,
  kTagBarAssign = 96,
  kTagFavourite1 = 97,
  kTagFavourite4 = 100,
  // Favourite tags up to here are reserved: the bar ignores those past its four slots.
  kTagFavouriteRangeEnd = 106,
};

// ---- setting indices: settings stored under the message index that carries them
namespace settings {
inline constexpr int kSettingHints = kMessageHints;
inline constexpr int kSettingZoom = kMessageZoom;
}  // namespace settings

namespace index_table {

inline constexpr std::array<int, 14> kMessages = {
    kMessageHostState,     kMessageAcceptReference, kMessageHints,        kMessageZoom,
    kMessageRefreshAll,    kMessagePresetStart,     kMessagePresetStop,   kMessageMeterReset,
    kMessageBrowserOpening, kMessageBrowserClosed,  kMessageConfigOpening, kMessageConfigClosed,
    kMessageShowAbout,     kMessageHideAbout};
inline constexpr std::array<int, 32> kTags = {
    kTagNameButton,     kTagVuMeter,       kTagAbout,          kTagBarName,        kTagBarNudge,
    kTagBarSave,        kTagSaveDialogName, kTagBarCopy,       kTagBarPaste,       kTagConfigManual,
    kTagConfigHints,    kTagBarZoom,       kTagConfigPage,     kTagConfigToggle,   kTagBrowserBank,
    kTagBrowserGroups,  kTagBrowserPresets, kTagBrowserInfo,   kTagBrowserSpare1,  kTagBarUndoRedo,
    kTagBarAB,          kTagBarABCopy,     kTagBrowserSpare2,  kTagBrowserSpare3,  kTagCloseOverlay,
    kTagBrowserDesigner, kTagBarUserDefault, kTagBarAssign,    kTagFavourite1,     kTagFavourite4,
    kTagFavouriteRangeEnd, kTagConfigHighQuality};

template <std::size_t N>
constexpr bool Distinct(const std::array<int, N>& a) {
  for (std::size_t i = 0; i < N; ++i)
    for (std::size_t j = i + 1; j < N; ++j)
      if (a[i] == a[j]) return false;
  return true;
}

}  // namespace index_table

// Within a space every number has one meaning.
static_assert(index_table::Distinct(index_table::kMessages));
static_assert(index_table::Distinct(index_table::kTags));
// Messages never reach into the parameter slots.
static_assert(std::ranges::all_of(index_table::kMessages, [](int m) { return m >= static_cast<int>(kParameterCount); }));
// The panel's controls carry slots 0..13; its other controls and everything else tag above them.
static_assert(std::ranges::all_of(index_table::kTags, [](int t) { return t > static_cast<int>(kSlotGainReduction); }));
// The bar's own controls (tags 29 and above) lie above every panel control.
static_assert(kTagBarName > kTagAbout && kTagNameButton < kTagBarName && kTagVuMeter < kTagBarName);
static_assert(kTagFavourite4 - kTagFavourite1 == 3 && kTagFavouriteRangeEnd > kTagFavourite4);
static_assert(kTagBrowserBank < kTagBrowserGroups && kTagBrowserGroups < kTagBrowserPresets &&
              kTagBrowserPresets < kTagBrowserInfo && kTagBrowserInfo < kTagBrowserSpare1);

// The controls whose edits the bar hands to the preset browser.
constexpr bool IsBrowserTag(int tag) {
  return (tag >= kTagBrowserBank && tag <= kTagBrowserSpare1) || tag == kTagBrowserSpare2 ||
         tag == kTagBrowserSpare3 || tag == kTagBrowserDesigner;
}

}  // namespace qrv
