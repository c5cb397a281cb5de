// The process-wide catalogue of presets: factory presets by category (bank 0) and by designer (bank 1),
// and the user's ".qrv" files (bank 2), with the user preset folder. Shared by every PresetManager of the
// process; main (GUI) thread only, no lock.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ProductFacts.h"
#include "presets/PresetRecord.h"

namespace qrv {

inline constexpr int kBankApplication = 0;
inline constexpr int kBankDesigner = 1;
inline constexpr int kBankUser = 2;
inline constexpr int kBankCount = 3;
inline constexpr int kMaxGroups = 128;
inline constexpr int kMaxItemsPerGroup = 512;
inline constexpr int kMaxUserFolders = 127;  // sub-folders listed as groups 1..127
inline constexpr std::size_t kGroupNameMax = 63;
inline constexpr std::size_t kItemNameMax = 63;
inline constexpr std::size_t kUserFolderMax = 1023;

inline constexpr std::string_view kBankLabels[kBankCount] = {"Application", "Designer", "My presets"};
inline constexpr std::string_view kErrorLoadingPreset = "error loading preset";
inline constexpr std::string_view kCouldNotOpenFolder = "Could not open user's preset folder";

struct PresetItem {
  int32_t factoryIndex = -1;  // factory table index, -1 for a user file
  std::string name;           // shown name: the table name, or the file name without ".qrv" (63 bytes at most)
  std::string fileName;       // user file: the full file name without ".qrv"
  int32_t folderGroup = -1;   // user file: bank-2 group of its folder (0 main folder), else -1
};

struct PresetGroup {
  std::string name;             // shown name, 63 bytes at most
  std::string folder;           // bank 2: the folder's full name below the user folder ("" for the main one)
  std::vector<int32_t> items;   // indices into the bank's items; "All" shares the other groups' items
  // Bank 2: how many presets its folder holds ("All": every sub-folder's and the main folder's), of which
  // `items` lists at most kMaxItemsPerGroup; more than items.size() means the list is cut.
  int32_t found = 0;
};

struct PresetBank {
  std::vector<PresetGroup> groups;  // listed groups, at most 128
  std::vector<PresetItem> items;
};

// A designer credited in the factory table: a name (shown as a bank-1 group when not empty), the
// embedded image of the photo the browser shows and the address a click on it opens.
struct PresetDesigner {
  std::string_view name;
  int photoImage;
  std::string_view webAddress;
};
inline constexpr PresetDesigner kPresetDesigners[] = {{"", 90001, product::kWebAddressWww}};
// The designer of a factory preset (index into the factory table); entry 0 for anything else.
const PresetDesigner& DesignerOf(int factoryIndex);

// A user preset as the command line lists it.
struct UserPresetEntry {
  std::string name;  // as shown ("Warm", or "Sub/Warm" for one in a sub-folder)
  std::filesystem::path path;
};

// USERPROFILE (else the home, platform::HomeFolder) + "/Documents/quarry-tone.com/User Presets/QRV warmGlow"
// (on Windows joined with backslashes), UTF-8; "" when there is no absolute profile folder or the path would exceed 1023 bytes. "" means no user folder:
// nothing is listed from it and nothing saved into it, never a folder relative to the working folder.
std::string UserPresetFolderPath();
// Why UserPresetFolderPath() is "", in words for the user ("" when it is not).
std::string UserPresetFolderProblem();
// The line the editor and the command line show when there is no user preset folder.
inline constexpr std::string_view kNoUserFolder = "There is no user preset folder";

// Case-insensitive (ASCII) name order; a prefix goes first.
bool PresetNameLess(std::string_view a, std::string_view b);

class PresetLibrary;

// Told around every rescan of bank 2, so that a holder of bank-2 positions can note what they point
// at before and find the same files again after.
class PresetLibraryObserver {
 public:
  virtual ~PresetLibraryObserver() = default;
  virtual void UserPresetsRescanning(const PresetLibrary& library) = 0;
  virtual void UserPresetsRescanned(const PresetLibrary& library) = 0;
};

class PresetLibrary {
 public:
  // Builds banks 0 and 1 and scans userFolder (not created here; "" for none).
  explicit PresetLibrary(std::string userFolder);

  // The shared library: the first Acquire creates the user folder and builds the library, the last
  // Release frees it.
  static PresetLibrary& Acquire();
  static void Release();

  const std::string& userFolder() const { return userFolder_; }

  // Rebuilds bank 2 from disk; the observers hear of it before and after.
  void RescanUserPresets();
  void AddObserver(PresetLibraryObserver* observer);
  void RemoveObserver(PresetLibraryObserver* observer);

  int GroupCount(int bank) const;
  // "" for an empty or invalid slot.
  std::string_view GroupName(int bank, int group) const;
  // Bank 2: the group's folder name below the user folder, uncut ("" for "All" and other banks).
  std::string_view GroupFolder(int bank, int group) const;
  int ItemCount(int bank, int group) const;
  // The presets the group's folders hold, listed or not (ItemCount for the factory banks): more than
  // ItemCount when the group's list was cut at kMaxItemsPerGroup.
  int FoundCount(int bank, int group) const;
  // nullptr for an invalid position.
  const PresetItem* Item(int bank, int group, int item) const;
  // The file of a user item: user folder, "/", the folder group's name and "/" when it is 1 or more, the
  // file name and ".qrv". Empty for factory items and invalid positions.
  std::filesystem::path ItemPath(int bank, int group, int item) const;

  // Bank 2: the listed group of a folder below the user folder ("" gives group 0, "All"); -1 when none.
  int FindUserGroup(std::string_view folder) const;
  // The item of a group whose file is path; -1 when none is.
  int FindItem(int bank, int group, const std::filesystem::path& path) const;

  // The 12 values of an item: a factory item's table values, or a user file's stored slots on top of
  // `values` as given. False when the position is invalid or the file does not load.
  bool ItemValues(int bank, int group, int item, float (&values)[kPresetValueCount]) const;

  // On success the record takes the stored slots and, as its name, the item's name; on failure its values
  // stay and its name becomes "error loading preset".
  bool LoadPosition(int bank, int group, int item, PresetRecord& record) const;

  // Asks the shell to open the user folder; a failure shows a message box. Returns the shell's result.
  int OpenUserFolder() const;

  // Every user preset, main folder first, each group in name order.
  std::vector<UserPresetEntry> ListUserPresets() const;

 private:
  void BuildFactoryBanks();
  void ScanUserFolder();

  std::string userFolder_;
  PresetBank banks_[kBankCount];
  std::vector<PresetLibraryObserver*> observers_;
};

// The user presets of the current user folder (UserPresetFolderPath), scanned without creating anything:
// as the library lists them, so at most kMaxItemsPerGroup of each folder and kMaxUserFolders sub-folders.
std::vector<UserPresetEntry> ScanUserPresets();
// Every ".qrv" file of the user folder and of each of its sub-folders, none left out for a limit, in the
// same order and with the same names as ScanUserPresets: what a name given on the command line can find.
std::vector<UserPresetEntry> ScanEveryUserPreset();

// Creates the folders below the profile's "Documents" that lead to path (existing ones are left alone).
bool CreateUserPresetFolder(const std::string& path);

}  // namespace qrv
