#include "presets/PresetLibrary.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/Environment.h"
#include "platform/PathText.h"
#include "platform/Services.h"
#include "platform/Utf8.h"
#include "presets/PresetBlob.h"

namespace qrv {
namespace {

constexpr std::string_view kMakerFolder = "quarry-tone.com";
constexpr std::string_view kAllGroup = "All";
constexpr int kDesignerGroups = 0;  // the product's one designer entry has no name
#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool DebugOutput() {
  const char* v = std::getenv("QRV_PRESET_DEBUG");
  return v != nullptr && *v != '\0' && *v != '0';
}

// At most `max` bytes, ending between UTF-8 characters: file and folder names reach pango and the
// command line's listing, which must never see half a character.
std::string Cut(std::string_view s, std::size_t max) {
  return std::string(s.substr(0, utf8::PrefixBytes(s, s.size(), max)));
}

struct FolderListing {
  std::vector<std::string> folders;  // sub-folders not beginning with "."
  std::vector<std::string> presets;  // ".qrv" files, without the extension
};

bool ListFolder(const std::string& path, FolderListing& out) {
  std::error_code ec;
  std::filesystem::directory_iterator it(platform::PathFromUtf8(path), ec);
  if (ec) return false;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string name = platform::Utf8FromPath(it->path().filename());
    if (name.empty()) continue;  // a name no UTF-8 can carry
    // Links are followed, as the user sees them.
    std::error_code kind;
    if (it->is_directory(kind)) {
      if (!name.starts_with('.')) out.folders.push_back(name);
    } else if (HasPresetExtension(name)) {
      out.presets.push_back(name.substr(0, name.size() - 4));
    }
  }
  return true;
}

void SortNames(std::vector<std::string>& names) { std::stable_sort(names.begin(), names.end(), PresetNameLess); }

void SortItems(PresetBank& bank, PresetGroup& group) {
  std::stable_sort(group.items.begin(), group.items.end(), [&](int32_t a, int32_t b) {
    return PresetNameLess(bank.items[static_cast<std::size_t>(a)].name, bank.items[static_cast<std::size_t>(b)].name);
  });
}

// Shared library and the number of managers using it.
PresetLibrary* g_library = nullptr;
int g_users = 0;

}  // namespace

bool PresetNameLess(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const int ca = std::toupper(static_cast<unsigned char>(a[i]));
    const int cb = std::toupper(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

std::string UserPresetFolderPath() {
  const std::string profile = platform::UserProfileFolder();
  if (profile.empty()) return {};
  std::string path = profile;
  for (const std::string_view part : {std::string_view("Documents"), kMakerFolder, std::string_view("User Presets"),
                                      std::string_view("QRV warmGlow")}) {
    path += kSeparator;
    path += part;
  }
  return path.size() <= kUserFolderMax ? path : std::string();
}

std::string UserPresetFolderProblem() {
  if (!UserPresetFolderPath().empty()) return {};
  if (platform::UserProfileFolder().empty()) {
#ifdef _WIN32
    return "USERPROFILE is not set to an absolute path";
#endif
    const char* profile = std::getenv("USERPROFILE");
    if (profile != nullptr && *profile != '\0') return "USERPROFILE is not an absolute path";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return "HOME is not an absolute path";
    return "HOME is not set and the user has no home folder";
  }
  return "its path would be longer than " + std::to_string(kUserFolderMax) + " bytes";
}

std::vector<UserPresetEntry> ScanUserPresets() { return PresetLibrary(UserPresetFolderPath()).ListUserPresets(); }

std::vector<UserPresetEntry> ScanEveryUserPreset() {
  std::vector<UserPresetEntry> out;
  const std::string folder = UserPresetFolderPath();
  FolderListing main;
  if (folder.empty() || !ListFolder(folder, main)) return out;
  SortNames(main.folders);
  SortNames(main.presets);
  for (const std::string& n : main.presets)
    out.push_back({Cut(n, kItemNameMax), platform::PathFromUtf8(folder) / platform::PathFromUtf8(n + ".qrv")});
  for (const std::string& sub : main.folders) {
    FolderListing listing;
    if (!ListFolder(folder + kSeparator + sub, listing)) continue;
    SortNames(listing.presets);
    for (const std::string& n : listing.presets)
      out.push_back({sub + "/" + Cut(n, kItemNameMax), platform::PathFromUtf8(folder) / platform::PathFromUtf8(sub) /
                                                       platform::PathFromUtf8(n + ".qrv")});
  }
  return out;
}

const PresetDesigner& DesignerOf(int factoryIndex) {
  FactoryPresetGrouping grouping{kNoCategory, 0};
  if (factoryIndex >= 0 && factoryIndex < kFactoryPresetCount) GetFactoryPreset(factoryIndex, nullptr, nullptr, &grouping);
  const int d = grouping.designer;
  return kPresetDesigners[d >= 0 && d < static_cast<int>(std::size(kPresetDesigners)) ? d : 0];
}

bool CreateUserPresetFolder(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  const std::filesystem::path folder = platform::PathFromUtf8(path);
  if (folder.empty()) return false;
  std::filesystem::create_directories(folder, ec);
  return std::filesystem::is_directory(folder, ec);
}

PresetLibrary::PresetLibrary(std::string userFolder) : userFolder_(std::move(userFolder)) {
  BuildFactoryBanks();
  RescanUserPresets();
}

PresetLibrary& PresetLibrary::Acquire() {
  if (g_library == nullptr) {
    std::string folder = UserPresetFolderPath();
    CreateUserPresetFolder(folder);
    g_library = new PresetLibrary(std::move(folder));
  }
  ++g_users;
  return *g_library;
}

void PresetLibrary::Release() {
  if (g_users > 0 && --g_users == 0) {
    delete g_library;
    g_library = nullptr;
  }
}

void PresetLibrary::BuildFactoryBanks() {
  for (int b : {kBankApplication, kBankDesigner}) {
    PresetBank& bank = banks_[b];
    bank.groups.assign(1, PresetGroup{std::string(kAllGroup), {}, {}, 0});
    for (int i = 0; i < kFactoryPresetCount; ++i) {
      if (FactoryPresetName(i).empty()) continue;
      bank.items.push_back(PresetItem{i, Cut(FactoryPresetName(i), kPresetNameMax), {}, -1});
      bank.groups[0].items.push_back(static_cast<int32_t>(bank.items.size() - 1));
    }
  }
  PresetBank& byCategory = banks_[kBankApplication];
  for (std::size_t c = 0; c < kFactoryCategories.size(); ++c) {
    PresetGroup g{std::string(kFactoryCategories[c]), {}, {}};
    for (std::size_t k = 0; k < byCategory.items.size(); ++k)
      if (FactoryPresetCategory(byCategory.items[k].factoryIndex) == static_cast<int>(c))
        g.items.push_back(static_cast<int32_t>(k));
    byCategory.groups.push_back(std::move(g));
  }
  static_assert(kDesignerGroups == 0, "designer groups would follow \"All\" in bank 1");
}

void PresetLibrary::AddObserver(PresetLibraryObserver* observer) {
  if (observer != nullptr && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void PresetLibrary::RemoveObserver(PresetLibraryObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void PresetLibrary::RescanUserPresets() {
  // A copy: an observer may not add or remove observers, but the list must not change under the loop.
  const std::vector<PresetLibraryObserver*> observers = observers_;
  for (PresetLibraryObserver* o : observers) o->UserPresetsRescanning(*this);
  ScanUserFolder();
  for (PresetLibraryObserver* o : observers) o->UserPresetsRescanned(*this);
}

void PresetLibrary::ScanUserFolder() {
  PresetBank& bank = banks_[kBankUser];
  bank.groups.assign(1, PresetGroup{std::string(kAllGroup), {}, {}, 0});
  bank.items.clear();
  if (userFolder_.empty()) return;
  if (DebugOutput()) std::fprintf(stderr, "\nPlugin's Main Preset Folder:%s", userFolder_.c_str());

  FolderListing main;
  if (!ListFolder(userFolder_, main)) return;
  // Sorted before the limits apply, so that which folders and files are dropped does not depend on
  // the file system's order.
  SortNames(main.folders);
  PresetGroup& all = bank.groups[0];
  // What each cut leaves out is counted, so that the lists can say that they are cut.
  for (std::size_t f = static_cast<std::size_t>(kMaxUserFolders); f < main.folders.size(); ++f) {
    FolderListing sub;
    if (ListFolder(userFolder_ + kSeparator + main.folders[f], sub)) all.found += static_cast<int32_t>(sub.presets.size());
  }
  if (main.folders.size() > static_cast<std::size_t>(kMaxUserFolders)) main.folders.resize(kMaxUserFolders);

  auto addItems = [&](std::vector<std::string>& names, int32_t folderGroup, PresetGroup* group) {
    SortNames(names);
    all.found += static_cast<int32_t>(names.size());
    if (group != nullptr) group->found = static_cast<int32_t>(names.size());
    if (names.size() > static_cast<std::size_t>(kMaxItemsPerGroup)) names.resize(kMaxItemsPerGroup);
    for (auto& n : names) {
      bank.items.push_back(PresetItem{-1, Cut(n, kItemNameMax), std::move(n), folderGroup});
      if (group != nullptr) group->items.push_back(static_cast<int32_t>(bank.items.size() - 1));
    }
  };

  if (DebugOutput()) std::fprintf(stderr, "\nLooking for *.qrv files in:%s", userFolder_.c_str());
  addItems(main.presets, 0, nullptr);  // the main folder is listed through "All" only
  std::vector<PresetGroup> groups;
  for (std::size_t f = 0; f < main.folders.size(); ++f) {
    const int32_t slot = static_cast<int32_t>(f + 1);
    PresetGroup group{Cut(main.folders[f], kGroupNameMax), main.folders[f], {}, 0};
    const std::string path = userFolder_ + kSeparator + main.folders[f];
    if (DebugOutput()) std::fprintf(stderr, "\nLooking for *.qrv files in:%s", path.c_str());
    FolderListing sub;
    if (ListFolder(path, sub)) addItems(sub.presets, slot, &group);
    groups.push_back(std::move(group));
  }
  for (std::size_t k = 0; k < bank.items.size() && all.items.size() < static_cast<std::size_t>(kMaxItemsPerGroup); ++k)
    all.items.push_back(static_cast<int32_t>(k));
  // Appended only now: `all` refers into the vector.
  for (PresetGroup& g : groups) bank.groups.push_back(std::move(g));
  for (PresetGroup& g : bank.groups) SortItems(bank, g);
}

int PresetLibrary::GroupCount(int bank) const {
  return bank >= 0 && bank < kBankCount ? static_cast<int>(banks_[bank].groups.size()) : 0;
}

std::string_view PresetLibrary::GroupName(int bank, int group) const {
  if (group < 0 || group >= GroupCount(bank)) return {};
  return banks_[bank].groups[static_cast<std::size_t>(group)].name;
}

std::string_view PresetLibrary::GroupFolder(int bank, int group) const {
  if (group < 0 || group >= GroupCount(bank)) return {};
  return banks_[bank].groups[static_cast<std::size_t>(group)].folder;
}

int PresetLibrary::FoundCount(int bank, int group) const {
  if (group < 0 || group >= GroupCount(bank)) return 0;
  const PresetGroup& g = banks_[bank].groups[static_cast<std::size_t>(group)];
  return std::max(g.found, static_cast<int32_t>(g.items.size()));
}

int PresetLibrary::ItemCount(int bank, int group) const {
  if (group < 0 || group >= GroupCount(bank)) return 0;
  return static_cast<int>(banks_[bank].groups[static_cast<std::size_t>(group)].items.size());
}

const PresetItem* PresetLibrary::Item(int bank, int group, int item) const {
  if (item < 0 || item >= ItemCount(bank, group)) return nullptr;
  const PresetBank& b = banks_[bank];
  return &b.items[static_cast<std::size_t>(b.groups[static_cast<std::size_t>(group)].items[static_cast<std::size_t>(item)])];
}

int PresetLibrary::FindUserGroup(std::string_view folder) const {
  const PresetBank& bank = banks_[kBankUser];
  if (folder.empty()) return 0;
  for (std::size_t g = 1; g < bank.groups.size(); ++g)
    if (bank.groups[g].folder == folder) return static_cast<int>(g);
  return -1;
}

int PresetLibrary::FindItem(int bank, int group, const std::filesystem::path& path) const {
  if (path.empty()) return -1;
  // The file name first: only an item of that name has its whole path made and compared.
  const std::string stem = platform::Utf8FromPath(path.stem());
  for (int i = 0; i < ItemCount(bank, group); ++i) {
    const PresetItem* it = Item(bank, group, i);
    if (it->factoryIndex < 0 && it->fileName == stem && ItemPath(bank, group, i) == path) return i;
  }
  return -1;
}

std::filesystem::path PresetLibrary::ItemPath(int bank, int group, int item) const {
  const PresetItem* it = Item(bank, group, item);
  if (it == nullptr || it->factoryIndex >= 0 || userFolder_.empty()) return {};
  std::string path = userFolder_ + kSeparator;
  if (it->folderGroup >= 1 && it->folderGroup < GroupCount(kBankUser))
    path += banks_[kBankUser].groups[static_cast<std::size_t>(it->folderGroup)].folder + kSeparator;
  path += it->fileName + ".qrv";
  return platform::PathFromUtf8(path);
}

bool PresetLibrary::ItemValues(int bank, int group, int item, float (&values)[kPresetValueCount]) const {
  const PresetItem* it = Item(bank, group, item);
  if (it == nullptr) return false;
  if (it->factoryIndex >= 0) {
    const PresetRecord r = FactoryRecord(it->factoryIndex);
    std::copy(std::begin(r.values), std::end(r.values), std::begin(values));
    return true;
  }
  PresetRecord r;
  std::copy(std::begin(values), std::end(values), std::begin(r.values));
  if (ReadPresetFile(ItemPath(bank, group, item), r) != BlobStatus::Ok) return false;
  std::copy(std::begin(r.values), std::end(r.values), std::begin(values));
  return true;
}

bool PresetLibrary::LoadPosition(int bank, int group, int item, PresetRecord& record) const {
  float values[kPresetValueCount];
  std::copy(std::begin(record.values), std::end(record.values), std::begin(values));
  if (!ItemValues(bank, group, item, values)) {
    record.SetName(kErrorLoadingPreset);
    return false;
  }
  for (int i = 0; i < static_cast<int>(kPresetValueCount); ++i)
    if (IsStoredSlot(i)) record.values[i] = values[i];
  record.SetName(Item(bank, group, item)->name);
  return true;
}

int PresetLibrary::OpenUserFolder() const {
  const int result = platform::GetShell().Open(userFolder_);
  if (result <= 32) platform::GetMessageBox().Show(std::string(kCouldNotOpenFolder), userFolder_);
  return result;
}

std::vector<UserPresetEntry> PresetLibrary::ListUserPresets() const {
  std::vector<UserPresetEntry> out;
  const PresetBank& bank = banks_[kBankUser];
  std::vector<int32_t> order(bank.items.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int32_t>(k);
  std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    const PresetItem& x = bank.items[static_cast<std::size_t>(a)];
    const PresetItem& y = bank.items[static_cast<std::size_t>(b)];
    if (x.folderGroup != y.folderGroup) return x.folderGroup < y.folderGroup;
    return PresetNameLess(x.name, y.name);
  });
  for (const int32_t k : order) {
    const PresetItem& it = bank.items[static_cast<std::size_t>(k)];
    std::string folder;
    if (it.folderGroup >= 1) folder = bank.groups[static_cast<std::size_t>(it.folderGroup)].folder;
    std::filesystem::path path = platform::PathFromUtf8(userFolder_);
    if (!folder.empty()) path /= platform::PathFromUtf8(folder);
    path /= platform::PathFromUtf8(it.fileName + ".qrv");
    out.push_back({folder.empty() ? it.name : folder + "/" + it.name, std::move(path)});
  }
  return out;
}

}  // namespace qrv
