// The per-instance preset state: the library position, the current preset of setups A and B with the
// record each was loaded from, an undo history of preset changes and parameter edits, favourites, user
// default, clipboard memo, rename, zoom and the host state.
//
// Threads: everything runs on the host's main (GUI) thread, except WriteHostState/RestoreHostState,
// which also run on the thread on which the host saves or restores its state; the host does not run
// both at once on one instance. No locks.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "presets/PresetBlob.h"
#include "presets/PresetLibrary.h"
#include "presets/PresetRecord.h"

namespace qrv {

class QRVMasterController;

inline constexpr int kUndoRingSize = 32;
inline constexpr uint32_t kUndoMergeMs = 50;  // changes closer than this form one step
// The state chunk is built in this buffer: the prefix and a host-state blob, with room to spare.
inline constexpr std::size_t kHostStateBufferSize = 19201;
// A rename longer than this is no name and is ignored.
inline constexpr std::size_t kRenameTextMax = 255;
inline constexpr int kSlotA = 0;
inline constexpr int kSlotB = 1;

// Why a preset file was not written.
enum class PresetSaveError : uint8_t {
  None,
  NameTooLong,        // longer than the folder's file system takes
  FolderMissing,
  NoUserFolder,       // a path that is not absolute: there is no user folder to save into
  FolderNotWritable,
  DiskFull,           // no space, quota or file size limit
  WriteProtected,     // the file exists and its mode has no write bit: it is never replaced
  NotAFile,           // a folder, FIFO or device has the name
  Failed,             // anything else; systemError says what
};

struct PresetSaveResult {
  PresetSaveError error = PresetSaveError::None;
  int systemError = 0;  // errno of the failing step, when there was one
  explicit operator bool() const { return error == PresetSaveError::None; }
};

// A preset file the user protected: it exists, is a regular file and no write bit is set. Decided
// from the mode, so that it holds for root too.
bool IsWriteProtected(const std::filesystem::path& file);

struct LibraryPosition {
  int32_t bank = -1, group = -1, item = -1;
  bool operator==(const LibraryPosition&) const = default;
  bool IsSet() const { return bank >= 0; }
};

struct UndoEntry {
  PresetRecord after;      // the record after the step
  PresetRecord before;     // the current record before the step
  PresetRecord beforeReference, afterReference;
  bool beforeModified = false, afterModified = false;
  bool presetChange = false;  // true: the library position changed; false: a parameter edit
  LibraryPosition beforePosition{0, 0, 0};
  LibraryPosition afterPosition{0, 0, 0};
};

// Bank-2 positions (the current one and those of the undo history) follow their files by path across
// rescans made by any instance: a position whose file is gone keeps its group and takes item -1.
class PresetManager final : private PresetLibraryObserver {
 public:
  // controller receives every applied value; it may be null (nothing is sent).
  explicit PresetManager(QRVMasterController* controller);
  ~PresetManager() override;
  PresetManager(const PresetManager&) = delete;
  PresetManager& operator=(const PresetManager&) = delete;

  // ---- values in and out ----
  // Sends 70, the stored slots 0 and 2..7 in order, then 71 to the controller. Leaves the records alone.
  void ApplyRecord(const PresetRecord& record);
  // A stored parameter changed (index 0..11, normalised value): recorded for undo unless a preset is being
  // applied or an undo runs, and taken into the current record.
  void ParameterChanged(int index, double value);

  // ---- library position ----
  LibraryPosition position() const { return {bank_, group_, item_}; }
  // Browser: change bank or group, each recorded as a preset change; bank 2 is rescanned when chosen.
  void SetBank(int bank);
  void SetGroup(int group);
  // Loads an item of the current bank and group, recorded as a preset change.
  void LoadPosition(int item);
  void Next();
  void Previous();
  // A preset the host chose from its own list, loaded as the bar loads it from "All" of its bank: one
  // preset change, named and numbered as there, unmodified. False, and nothing changed, when the library
  // has no such preset.
  bool LoadFactoryPreset(int factoryIndex);
  bool LoadUserPreset(const std::filesystem::path& file);
  // A preset from outside the library (a file elsewhere): one preset change to record, unmodified, at no
  // item.
  void LoadOutsideRecord(const PresetRecord& record);

  // ---- undo ----
  void Undo();
  void Redo();
  bool CanUndo() const { return canUndo_; }
  bool CanRedo() const { return canRedo_; }

  // ---- A/B ----
  void SelectSlot(int slot);
  int ActiveSlot() const { return active_; }
  void CopySlot();
  // The current record of slot A or B, whichever is active.
  const PresetRecord& SlotRecord(int slot) const { return slots_[slot == kSlotB ? kSlotB : kSlotA].current; }
  // Puts record into the inactive slot as its current and reference record, unmodified, without
  // sending anything or touching the undo history (a session restoring the slot its chunk does not
  // carry). False, and nothing changed, for the active slot.
  bool SetInactiveSlotRecord(int slot, const PresetRecord& record);

  // ---- favourites (slots 0..3 and settings::kFavoriteUserDefault) ----
  bool FavoriteExists(int slot) const;
  // "" when the slot is empty, unreadable or holds an empty name.
  std::string FavoriteName(int slot);
  void AssignFavorite(int slot);
  bool RecallFavorite(int slot);
  void RemoveFavorite(int slot);
  // The user default, or the factory initial preset when none loads.
  void RecallUserDefault();

  // ---- clipboard memo ----
  void CopyToClipboard();
  bool PasteFromClipboard();

  // ---- name, reference, files ----
  // 1..255 characters, else ignored. Clears the modified mark; the reference record is not touched.
  void RenameCurrent(std::string_view text);
  void AcceptCurrentAsReference();
  // The save dialog's proposal: the current name (or "current") with the ".qrv" rule applied.
  std::string DefaultSaveFileName() const;
  // Writes the current record to chosenPath (".qrv" rule applied to its file name), renames the preset
  // after the file, takes it as the reference (unmodified) and rescans bank 2. When the file could not
  // be written the result says why, and nothing else changes; a write-protected file is never replaced.
  PresetSaveResult SavePresetFile(const std::filesystem::path& chosenPath);

  // ---- zoom ----
  double ZoomFactor() const;
  // store false: the instance and the process take the zoom, the settings store is not written (a
  // corner drag writes once, when it ends).
  void SetZoom(double factor, bool store = true);
  int32_t zoom() const { return zoom_; }

  // ---- host state ----
  // Program record 0 := current; then records 0..2 as a host-state blob (1217 bytes).
  std::vector<uint8_t> WriteHostState();
  // Restores the program array, host-state word and zoom; switches to A with the selected record in both
  // slots and item -1. Nothing changes unless the whole blob reads.
  BlobStatus RestoreHostState(std::span<const uint8_t> blob);
  std::span<uint8_t> HostStateBuffer() { return hostStateBuffer_; }
  int32_t hostStateWord() const { return hostStateWord_; }

  // ---- state ----
  const PresetRecord& current() const { return *current_; }
  const PresetRecord& reference() const { return *reference_; }
  bool modified() const { return *modified_; }
  const PresetRecord& program(int i) const { return programs_[static_cast<std::size_t>(i)]; }
  const PresetRecord& initialPreset() const { return initial_; }
  const PresetRecord& factoryRecord(int i) const { return factory_[static_cast<std::size_t>(i)]; }
  PresetLibrary& library() { return library_; }
  QRVMasterController* controller() const { return controller_; }

 private:
  void PointAtActiveSlot();
  void RecomputeUndoFlags();
  void BeginPresetChange();
  void FinishPresetChange();
  // Bank, group and item := to; bank 2 is rescanned first, and to is read after the rescan (it may
  // be an undo entry's position, which the rescan re-resolves).
  void MoveTo(const LibraryPosition& to);
  // One preset change to an item of the library that exists.
  void LoadLibraryItem(const LibraryPosition& at);
  void UserPresetsRescanning(const PresetLibrary& library) override;
  void UserPresetsRescanned(const PresetLibrary& library) override;
  // What a bank-2 position points at, by name: its group's folder and its item's file.
  struct UserAnchor {
    std::string folder;
    std::filesystem::path file;
  };
  std::vector<UserAnchor> anchors_;  // filled between the two rescan calls
  // current := record, reference := current, modified := false, then apply.
  void TakeAndApply(const PresetRecord& record);
  static int Wrap(int i) { return (i % kUndoRingSize + kUndoRingSize) % kUndoRingSize; }

  int32_t bank_ = 0, group_ = 0, item_ = 0;
  bool applying_ = false;
  bool undoSuspended_ = false;
  std::array<UndoEntry, kUndoRingSize> ring_{};
  int32_t oldest_ = 0, newest_ = 0, cursor_ = 0;
  uint32_t lastEditTime_ = 0;
  bool editOpen_ = false;  // the newest step is a parameter edit that a change within 50 ms extends
  int32_t savedOldest_ = 0, savedCursor_ = 0;  // history before the preset change being recorded
  bool canUndo_ = false, canRedo_ = false;
  // A/B compare: each slot's record as edited, the record it was loaded as, and whether they differ.
  struct AbSlot {
    PresetRecord current, reference;
    bool modified = false;
  };
  std::array<AbSlot, 2> slots_{};  // kSlotA, kSlotB
  PresetRecord* current_ = &slots_[kSlotA].current;
  PresetRecord* reference_ = &slots_[kSlotA].reference;
  bool* modified_ = &slots_[kSlotA].modified;
  int active_ = kSlotA;
  std::vector<uint8_t> hostStateBuffer_;
  std::array<PresetRecord, kProgramCount> programs_{};
  PresetRecord initial_;
  std::array<PresetRecord, kFactoryPresetCount> factory_{};
  PresetRecord scratch_;
  int32_t parameterCount_ = kPresetValueCount;
  int32_t zoom_ = 100;
  int32_t hostStateWord_ = 0;
  QRVMasterController* controller_;
  PresetLibrary& library_;
};

}  // namespace qrv
