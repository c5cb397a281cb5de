#include "presets/PresetManager.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/AtomicFile.h"
#include "platform/PathText.h"
#include "platform/Services.h"
#include "platform/Utf8.h"
#include "presets/QRVMasterController.h"
#include "presets/SettingsStore.h"

namespace qrv {
namespace {

// Values that differ by less than 1/10000 count as equal.
int64_t Quantize(float v) { return static_cast<int64_t>(std::trunc(static_cast<double>(v) * 10000.0 + 0.5)); }

}  // namespace

PresetManager::PresetManager(QRVMasterController* controller)
    : controller_(controller), library_(PresetLibrary::Acquire()) {
  zoom_ = settings::ProcessZoom();
  hostStateBuffer_.assign(kHostStateBufferSize, 0);
  PresetRecord& a = slots_[kSlotA].current;
  std::fill(std::begin(a.values), std::end(a.values), 0.5f);
  library_.LoadPosition(0, 0, 0, a);  // "Default", the first item of "All"
  slots_[kSlotA].reference = a;
  slots_[kSlotB] = slots_[kSlotA];
  const char* debug = std::getenv("QRV_PRESET_DEBUG");
  if (debug != nullptr && *debug != '\0' && *debug != '0')
    std::fputs("\n\n#############   Validation of preset names   #############\n", stderr);
  for (int i = 0; i < kFactoryPresetCount; ++i) factory_[static_cast<std::size_t>(i)] = FactoryRecord(i);
  programs_ = factory_;
  initial_ = factory_[0];
  library_.AddObserver(this);
}

PresetManager::~PresetManager() {
  library_.RemoveObserver(this);
  // Nothing is written back here: hints and zoom were stored when the user changed them, and this
  // process's copy may be older than what another instance or process has stored since.
  PresetLibrary::Release();
}

void PresetManager::ApplyRecord(const PresetRecord& record) {
  // A copy: the controller's echoes must not see a record that changes under them.
  const PresetRecord r = record;
  const bool wasApplying = applying_;
  applying_ = true;
  if (controller_ != nullptr) {
    controller_->SetParameter(kMessagePresetStart, 1.0);
    for (int i = 0; i < static_cast<int>(kPresetValueCount); ++i)
      if (IsStoredSlot(i)) controller_->SetParameter(i, r.values[i]);
    controller_->SetParameter(kMessagePresetStop, 1.0);
  }
  applying_ = wasApplying;
}

void PresetManager::ParameterChanged(int index, double value) {
  // The record holds slots 0..11 only.
  if (index < 0 || index >= parameterCount_) return;
  const float v = std::isnan(value) ? 0.0f : static_cast<float>(std::clamp(value, 0.0, 1.0));

  if (!applying_ && !undoSuspended_ && Quantize(v) != Quantize(current_->values[index])) {
    const uint32_t now = platform::GetClock().TickCount();
    if (!editOpen_ || static_cast<uint32_t>(now - lastEditTime_) > kUndoMergeMs) {
      cursor_ = Wrap(cursor_ + 1);
      newest_ = cursor_;
      UndoEntry& e = ring_[static_cast<std::size_t>(newest_)];
      e = UndoEntry{};
      e.presetChange = false;
      e.before = *current_;
      e.after = *current_;
      e.beforeReference = e.afterReference = *reference_;
      e.beforeModified = *modified_;
      e.beforePosition = e.afterPosition = position();
      if (newest_ == oldest_) oldest_ = Wrap(oldest_ + 1);
      editOpen_ = true;
    }
    ring_[static_cast<std::size_t>(newest_)].after.values[index] = v;
    lastEditTime_ = now;
    RecomputeUndoFlags();
  }
  if (!applying_) {
    current_->values[index] = v;
    *modified_ = v != reference_->values[index] ? true : !current_->SameValues(*reference_);
  }
}

void PresetManager::RecomputeUndoFlags() {
  if (oldest_ < newest_) {
    canUndo_ = oldest_ < cursor_;
    canRedo_ = cursor_ < newest_;
  } else if (newest_ < oldest_) {
    canUndo_ = cursor_ != oldest_;
    canRedo_ = cursor_ != newest_;
  } else {
    canUndo_ = canRedo_ = false;
  }
}

void PresetManager::BeginPresetChange() {
  if (undoSuspended_) return;
  editOpen_ = false;
  savedOldest_ = oldest_;
  savedCursor_ = cursor_;
  newest_ = Wrap(newest_ + 1);
  cursor_ = newest_;
  UndoEntry& e = ring_[static_cast<std::size_t>(newest_)];
  e = UndoEntry{};
  e.presetChange = true;
  e.beforePosition = position();
  e.before = *current_;
  e.beforeReference = *reference_;
  e.beforeModified = *modified_;
  e.afterPosition = LibraryPosition{};
  if (newest_ == oldest_) oldest_ = Wrap(oldest_ + 1);
  RecomputeUndoFlags();
}

void PresetManager::FinishPresetChange() {
  if (undoSuspended_) return;
  UndoEntry& e = ring_[static_cast<std::size_t>(newest_)];
  e.afterPosition = position();
  e.after = *current_;
  e.afterReference = *reference_;
  e.afterModified = *modified_;
  // A step that changed nothing is dropped, and the history is as it was before it began.
  if (e.afterPosition == e.beforePosition && e.after == e.before && e.afterReference == e.beforeReference &&
      e.afterModified == e.beforeModified) {
    newest_ = Wrap(newest_ - 1);
    cursor_ = savedCursor_;
    oldest_ = savedOldest_;
  }
  RecomputeUndoFlags();
}

void PresetManager::MoveTo(const LibraryPosition& to) {
  if (to.bank == kBankUser) library_.RescanUserPresets();
  bank_ = to.bank;
  group_ = to.group;
  item_ = to.item;
}

namespace {

// Every bank-2 position the manager holds, in one fixed order: the current one, then the undo ring's.
template <class F>
void ForEachPosition(int32_t& bank, int32_t& group, int32_t& item, std::array<UndoEntry, kUndoRingSize>& ring, F f) {
  LibraryPosition current{bank, group, item};
  f(current);
  bank = current.bank;
  group = current.group;
  item = current.item;
  for (UndoEntry& e : ring) {
    f(e.beforePosition);
    f(e.afterPosition);
  }
}

}  // namespace

void PresetManager::UserPresetsRescanning(const PresetLibrary& library) {
  anchors_.clear();
  ForEachPosition(bank_, group_, item_, ring_, [&](LibraryPosition& p) {
    if (p.bank != kBankUser) return;
    anchors_.push_back({std::string(library.GroupFolder(p.bank, p.group)), library.ItemPath(p.bank, p.group, p.item)});
  });
}

void PresetManager::UserPresetsRescanned(const PresetLibrary& library) {
  std::size_t next = 0;
  ForEachPosition(bank_, group_, item_, ring_, [&](LibraryPosition& p) {
    if (p.bank != kBankUser || next >= anchors_.size()) return;
    const UserAnchor& a = anchors_[next++];
    // A folder that went leaves the position in "All"; a file that went leaves no item selected.
    const int group = library.FindUserGroup(a.folder);
    p.group = group >= 0 ? group : 0;
    p.item = a.file.empty() ? -1 : library.FindItem(kBankUser, p.group, a.file);
  });
  anchors_.clear();
}

void PresetManager::TakeAndApply(const PresetRecord& record) {
  *current_ = record;
  *reference_ = *current_;
  *modified_ = false;
  ApplyRecord(*current_);
}

void PresetManager::SetBank(int bank) {
  if (bank < 0 || bank >= kBankCount || bank == bank_) return;
  BeginPresetChange();
  MoveTo(LibraryPosition{bank, 0, -1});
  FinishPresetChange();
}

void PresetManager::SetGroup(int group) {
  if (group < 0 || group >= library_.GroupCount(bank_) || group == group_) return;
  BeginPresetChange();
  group_ = group;
  item_ = -1;
  FinishPresetChange();
}

void PresetManager::LoadPosition(int item) {
  BeginPresetChange();
  item_ = item;
  library_.LoadPosition(bank_, group_, item_, *current_);
  *reference_ = *current_;
  *modified_ = false;
  ApplyRecord(*current_);
  FinishPresetChange();
}

void PresetManager::LoadLibraryItem(const LibraryPosition& at) {
  BeginPresetChange();
  bank_ = at.bank;
  group_ = at.group;
  item_ = at.item;
  library_.LoadPosition(bank_, group_, item_, *current_);
  *reference_ = *current_;
  *modified_ = false;
  ApplyRecord(*current_);
  FinishPresetChange();
}

bool PresetManager::LoadFactoryPreset(int factoryIndex) {
  constexpr int kAll = 0;
  for (int i = 0; i < library_.ItemCount(kBankApplication, kAll); ++i) {
    if (library_.Item(kBankApplication, kAll, i)->factoryIndex != factoryIndex) continue;
    LoadLibraryItem(LibraryPosition{kBankApplication, kAll, i});
    return true;
  }
  return false;
}

bool PresetManager::LoadUserPreset(const std::filesystem::path& file) {
  constexpr int kAll = 0;
  // The file may be newer than the last scan; the scan keeps every held position on its file.
  library_.RescanUserPresets();
  const int item = library_.FindItem(kBankUser, kAll, file.lexically_normal());
  if (item < 0) return false;
  LoadLibraryItem(LibraryPosition{kBankUser, kAll, item});
  return true;
}

void PresetManager::LoadOutsideRecord(const PresetRecord& record) {
  BeginPresetChange();
  item_ = -1;
  TakeAndApply(record);
  FinishPresetChange();
}

void PresetManager::Next() {
  const int last = library_.ItemCount(bank_, group_) - 1;
  if (last < 0) return;  // an empty group has nothing to step to
  LoadPosition(item_ < last ? item_ + 1 : last);
}

void PresetManager::Previous() {
  if (library_.ItemCount(bank_, group_) == 0) return;
  LoadPosition(std::max(item_ - 1, 0));
}

void PresetManager::Undo() {
  if (cursor_ == oldest_) return;
  undoSuspended_ = true;
  editOpen_ = false;
  const UndoEntry& e = ring_[static_cast<std::size_t>(cursor_)];
  if (e.presetChange) {
    MoveTo(e.beforePosition);
    *current_ = e.before;
    *reference_ = e.beforeReference;
    *modified_ = e.beforeModified;
  } else {
    *current_ = e.before;
    *modified_ = !current_->SameValues(*reference_);
  }
  ApplyRecord(*current_);
  cursor_ = Wrap(cursor_ - 1);
  RecomputeUndoFlags();
  undoSuspended_ = false;
}

void PresetManager::Redo() {
  if (cursor_ == newest_) return;
  undoSuspended_ = true;
  editOpen_ = false;
  cursor_ = Wrap(cursor_ + 1);
  const UndoEntry& e = ring_[static_cast<std::size_t>(cursor_)];
  if (e.presetChange) {
    if (e.afterPosition.IsSet()) {
      MoveTo(e.afterPosition);
    }
    *current_ = e.after;
    *reference_ = e.afterReference;
    *modified_ = e.afterModified;
  } else {
    *current_ = e.after;
    *modified_ = !current_->SameValues(*reference_);
  }
  ApplyRecord(*current_);
  RecomputeUndoFlags();
  undoSuspended_ = false;
}

void PresetManager::PointAtActiveSlot() {
  AbSlot& slot = slots_[static_cast<std::size_t>(active_)];
  current_ = &slot.current;
  reference_ = &slot.reference;
  modified_ = &slot.modified;
}

void PresetManager::SelectSlot(int slot) {
  active_ = slot == kSlotB ? kSlotB : kSlotA;
  PointAtActiveSlot();
  editOpen_ = false;
  ApplyRecord(*current_);
}

bool PresetManager::SetInactiveSlotRecord(int slot, const PresetRecord& record) {
  if (slot != kSlotA && slot != kSlotB) return false;
  if (slot == active_) return false;
  slots_[static_cast<std::size_t>(slot)] = AbSlot{record, record, false};
  return true;
}

void PresetManager::CopySlot() {
  slots_[active_ == kSlotA ? kSlotB : kSlotA] = slots_[static_cast<std::size_t>(active_)];
}

bool PresetManager::FavoriteExists(int slot) const { return settings::FavoriteExists(slot); }

std::string PresetManager::FavoriteName(int slot) {
  const auto blob = settings::LoadFavorite(slot);
  if (!blob) return {};
  scratch_ = initial_;
  if (ReadFavoriteBlob(*blob, scratch_) != BlobStatus::Ok) return {};
  return std::string(scratch_.Name());
}

void PresetManager::AssignFavorite(int slot) {
  scratch_ = *current_;
  const auto blob = WriteSinglePresetBlob(scratch_, hostStateWord_, zoom_);
  settings::StoreFavorite(slot, blob);
}

bool PresetManager::RecallFavorite(int slot) {
  const auto blob = settings::LoadFavorite(slot);
  if (!blob) return false;
  // Slots a blob does not carry take the initial preset's values, not leftovers.
  scratch_ = initial_;
  if (ReadFavoriteBlob(*blob, scratch_) != BlobStatus::Ok) return false;
  BeginPresetChange();
  item_ = 0;
  TakeAndApply(scratch_);
  if (!undoSuspended_) {
    // Kept whole so that a redo can restore it; the library position is not where it came from.
    UndoEntry& e = ring_[static_cast<std::size_t>(newest_)];
    e.afterPosition = position();
    e.after = *current_;
    e.afterReference = *reference_;
    e.afterModified = false;
  }
  return true;
}

void PresetManager::RemoveFavorite(int slot) { settings::RemoveFavorite(slot); }

void PresetManager::RecallUserDefault() {
  if (RecallFavorite(settings::kFavoriteUserDefault)) return;
  item_ = 0;
  TakeAndApply(initial_);
}

void PresetManager::CopyToClipboard() {
  scratch_ = *current_;
  const std::tm t = platform::GetClock().LocalTime();
  char time[64] = {};
  std::strftime(time, sizeof time, "%H:%M:%S", &t);
  const std::string name = std::string("clipboard ") + time;
  scratch_.SetName(name);
  const auto blob = WriteSinglePresetBlob(scratch_, hostStateWord_, zoom_);
  settings::StoreMemo(blob);
}

bool PresetManager::PasteFromClipboard() {
  const auto memo = settings::LoadMemo();
  if (!memo || memo->size() < 5) return false;
  scratch_ = initial_;
  if (ReadClipboardBlob(*memo, scratch_) != BlobStatus::Ok) return false;
  item_ = 0;
  TakeAndApply(scratch_);
  return true;
}

void PresetManager::RenameCurrent(std::string_view text) {
  // Lengths are characters: a name of 255 two-byte characters is as acceptable as one of bytes.
  if (text.empty() || utf8::CountChars(text) > kRenameTextMax) return;
  current_->SetName(text.substr(0, utf8::PrefixBytes(text, kItemNameMax, text.size())));
  // A rename is taken as the user's acceptance of the preset as it stands; the reference record (what
  // it was loaded as) stays, so a later edit compares against that.
  *modified_ = false;
}

void PresetManager::AcceptCurrentAsReference() {
  *reference_ = *current_;
  *modified_ = false;
}

std::string PresetManager::DefaultSaveFileName() const {
  const std::string_view name = current_->Name();
  return ApplyPresetExtension(name.empty() ? std::string_view("current") : name);
}

bool IsWriteProtected(const std::filesystem::path& file) {
#ifdef _WIN32
  // The read-only attribute is what the C runtime reports as no write permission.
  std::error_code ec;
  const auto st = std::filesystem::status(file, ec);
  return !ec && std::filesystem::is_regular_file(st) &&
         (st.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none;
#else
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0;
#endif
}

namespace {

PresetSaveResult SaveErrorFor(int error) {
  switch (error) {
    case ENAMETOOLONG: return {PresetSaveError::NameTooLong, error};
    case ENOENT:
    case ENOTDIR: return {PresetSaveError::FolderMissing, error};
    case EACCES:
    case EPERM:
    case EROFS: return {PresetSaveError::FolderNotWritable, error};
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG: return {PresetSaveError::DiskFull, error};
    case EISDIR: return {PresetSaveError::NotAFile, error};
    default: return {PresetSaveError::Failed, error};
  }
}

}  // namespace

PresetSaveResult PresetManager::SavePresetFile(const std::filesystem::path& chosenPath) {
  const std::filesystem::path path = platform::PathFromUtf8(ApplyPresetExtension(platform::Utf8FromPath(chosenPath)));
  // A relative path would land in whatever folder the host was started from.
  if (!path.is_absolute()) return {PresetSaveError::NoUserFolder, 0};
  if (path.filename().native().size() > platform::MaxFileNameBytes(path.parent_path()))
    return {PresetSaveError::NameTooLong, ENAMETOOLONG};
#ifdef _WIN32
  std::error_code ec;
  const auto st = std::filesystem::status(path, ec);
  if (std::filesystem::exists(st)) {
    // Only files are replaced; a read-only one is the user's to keep.
    if (!std::filesystem::is_regular_file(st)) return {PresetSaveError::NotAFile, 0};
    if (IsWriteProtected(path)) return {PresetSaveError::WriteProtected, 0};
  }
#else
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    // A rename would replace a FIFO or a link's target as readily as a file: only files are replaced.
    if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0) return {PresetSaveError::NotAFile, 0};
    if (!S_ISREG(st.st_mode)) return {PresetSaveError::NotAFile, 0};
    if ((st.st_mode & 0222) == 0) return {PresetSaveError::WriteProtected, 0};
  }
#endif
  const auto blob = WriteSinglePresetBlob(*current_, hostStateWord_, zoom_);
  // A short temporary name: one built from the target's would not fit beside a long one.
  int error = 0;
  // A file that could not be written leaves the preset as it was: no new name, no rescan.
  if (!platform::WriteFileAtomically(path, blob, platform::TempFileName{".qrv-", ".tmp"}, &error))
    return SaveErrorFor(error);
  // The preset takes the file's name; the blob above carries the name it had before.
  std::string base = platform::Utf8FromPath(path.filename());
  if (const auto dot = base.rfind('.'); dot != std::string::npos) base.resize(dot);
  base.resize(utf8::PrefixBytes(base, kItemNameMax, base.size()));
  RenameCurrent(base);
  // What is on disk now is the preset as loaded from its file.
  *reference_ = *current_;
  *modified_ = false;
  library_.RescanUserPresets();
  return {};
}

double PresetManager::ZoomFactor() const { return settings::LimitZoomFactor(zoom_ / 100.0); }

void PresetManager::SetZoom(double factor, bool store) {
  zoom_ = static_cast<int32_t>(std::lround(settings::LimitZoomFactor(factor) * 100.0));
  settings::SetProcessZoom(zoom_);
  if (store) settings::SaveZoom(zoom_);
}

std::vector<uint8_t> PresetManager::WriteHostState() {
  programs_[0] = *current_;
  return WriteHostStateBlob(std::span<const PresetRecord>(programs_.data(), kHostStateRecords), hostStateWord_,
                            zoom_);
}

BlobStatus PresetManager::RestoreHostState(std::span<const uint8_t> blob) {
  HostStateHeader header;
  const BlobStatus s = RestoreHostStateBlob(blob, programs_, initial_, header);
  if (s != BlobStatus::Ok) return s;
  hostStateWord_ = header.hostStateWord;
  // A saved zoom is taken within the editor's limits, so a damaged state cannot carry an absurd one on.
  if (header.zoom > 0) zoom_ = static_cast<int32_t>(std::lround(settings::LimitZoomFactor(header.zoom / 100.0) * 100.0));
  active_ = kSlotA;
  PointAtActiveSlot();
  const PresetRecord& selected = programs_[static_cast<std::size_t>(header.selected)];
  // One slot at a time: GCC 12 for Windows mistakes the array fill for an overflow.
  for (AbSlot& slot : slots_) slot = AbSlot{selected, selected, false};
  editOpen_ = false;
  item_ = -1;
  return BlobStatus::Ok;
}

}  // namespace qrv
