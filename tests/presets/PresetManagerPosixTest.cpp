// The preset manager where it meets Linux itself: the settings file shared by processes, and preset
// files the file system refuses (a full disk, a read-only folder, a write-protected file).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/Registry.h"
#include "platform/Services.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"
#include "tests/presets/PresetTestSupport.h"
#include "tests/support/Child.h"

namespace qrv {
namespace {

// Hints and zoom in the real settings file, shared with other processes: each value is stored when the
// user changes it, and removing a plug-in writes nothing back.
class PresetManagerSettingsTest : public test::PresetFixture {
 protected:
  PresetManagerSettingsTest() : file(profile.path() / "settings.reg"), store(file) {
    platform::Services s;
    s.registry = &store;
    fileServices.emplace(s);
  }
  void RemovePlugIn() {
    test::FakeMasterController fake;
    PresetManager pm(&fake);
  }
  double Stored(int index) {
    double v = -1.0;
    EXPECT_TRUE(settings::ReadNumber(index, v));
    return v;
  }

  std::filesystem::path file;
  platform::FileRegistry store;
  std::optional<platform::ScopedServices> fileServices;
};

// This process's copy of the settings is older than the store (another process, or the other binary of
// a plug-in bundle, changed it since): closing an instance leaves the store alone.
TEST_F(PresetManagerSettingsTest, RemovingAPlugInWritesNoCachedValueBack) {
  settings::SetProcessHints(1);
  settings::SetProcessZoom(100);
  ASSERT_TRUE(settings::WriteNumber(settings::kSettingZoom, 0.2));
  ASSERT_TRUE(settings::WriteNumber(settings::kSettingHints, 0.0));
  RemovePlugIn();
  EXPECT_FLOAT_EQ(static_cast<float>(Stored(settings::kSettingZoom)), 0.2f);
  EXPECT_EQ(Stored(settings::kSettingHints), 0.0);
}

// Two hosts on one settings file: the user chooses 150 % and hides hints in this one while another
// host, started before, still runs an instance; that host's closing keeps both choices.
TEST_F(PresetManagerSettingsTest, AnotherProcessClosingKeepsWhatTheUserChoseHere) {
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t other = fork();
  ASSERT_GE(other, 0);
  if (other == 0) {
    settings::LoadProcessSettings();  // its module load
    {
      test::FakeMasterController fake;
      PresetManager pm(&fake);
      char c = 'r';
      if (write(ready[1], &c, 1) != 1 || read(done[0], &c, 1) != 1) _exit(3);
    }
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  {
    test::FakeMasterController fake;
    PresetManager pm(&fake);
    pm.SetZoom(1.5);
    // What the configuration menu's hints switch does.
    settings::SetProcessHints(0);
    ASSERT_TRUE(settings::SaveHints());
  }
  ASSERT_EQ(write(done[1], &c, 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(other, &status, 0), other);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (int fd : {ready[0], ready[1], done[0], done[1]}) close(fd);
  EXPECT_FLOAT_EQ(static_cast<float>(Stored(settings::kSettingZoom)), 0.15f);
  EXPECT_EQ(Stored(settings::kSettingHints), 0.0);
}

}  // namespace
}  // namespace qrv

namespace qrv {
namespace {

using test::ChildResult;
using test::RunInChild;

std::vector<char> FileBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Saving preset files where the file system says no: each failure says why, and nothing the user had
// is lost.
class PresetSaveFailureTest : public test::PresetFixture {
 protected:
  PresetSaveFailureTest() {
    fake.manager = &pm;
    std::filesystem::create_directories(UserFolder());
  }
  test::FakeMasterController fake;
  PresetManager pm{&fake};
};

// A file whose mode has no write bit is the user's protection: never replaced, root or not.
TEST_F(PresetSaveFailureTest, AWriteProtectedFileIsNeverReplaced) {
  const auto file = UserFolder() / "ro.qrv";
  WriteFile(file, {'k', 'e', 'e', 'p'});
  std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  ASSERT_TRUE(IsWriteProtected(file));
  const std::string before(pm.current().Name());
  const PresetSaveResult r = pm.SavePresetFile(UserFolder() / "ro");
  EXPECT_EQ(r.error, PresetSaveError::WriteProtected);
  EXPECT_EQ(FileBytes(file), (std::vector<char>{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::group_read | std::filesystem::perms::others_read);
  EXPECT_EQ(pm.current().Name(), before);
  // A folder or FIFO with a preset's name is no file to replace either.
  std::filesystem::create_directory(UserFolder() / "dir.qrv");
  EXPECT_EQ(pm.SavePresetFile(UserFolder() / "dir").error, PresetSaveError::NotAFile);
  EXPECT_TRUE(std::filesystem::is_directory(UserFolder() / "dir.qrv"));
}

// The temporary file's name is short, so a name as long as the folder takes can be saved; a longer
// one is refused as too long rather than with a generic failure.
TEST_F(PresetSaveFailureTest, NamesAsLongAsTheFolderTakesAreSavedAndLongerOnesSaySo) {
  const std::size_t most = platform::MaxFileNameBytes(UserFolder());
  ASSERT_GE(most, 255u);
  std::string emoji;
  for (int i = 0; i < 62; ++i) emoji += "\xF0\x9F\x8E\xB8";  // 248 bytes, 252 with ".qrv"
  ASSERT_TRUE(pm.SavePresetFile(UserFolder() / emoji));
  EXPECT_TRUE(std::filesystem::exists(UserFolder() / (emoji + ".qrv")));
  const std::string longest(most - 4, 'n');
  EXPECT_TRUE(pm.SavePresetFile(UserFolder() / longest));
  EXPECT_TRUE(std::filesystem::exists(UserFolder() / (longest + ".qrv")));
  const PresetSaveResult tooLong = pm.SavePresetFile(UserFolder() / (longest + "n"));
  EXPECT_EQ(tooLong.error, PresetSaveError::NameTooLong);
  // Nothing but the two presets is left in the folder: no temporary file behind.
  int entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(UserFolder())) ++entries;
  EXPECT_EQ(entries, 2);
}

// A full disk and a folder the user may not write to: the save reports which, and the old file stays.
TEST_F(PresetSaveFailureTest, AFullDiskAndAnUnwritableFolderSayWhy) {
  const auto file = UserFolder() / "Bus.qrv";
  ASSERT_TRUE(pm.SavePresetFile(file));
  const std::vector<char> saved = FileBytes(file);
  const ChildResult full = RunInChild({.fileSizeLimit = 16}, [&] {
    const PresetSaveResult r = pm.SavePresetFile(file);
    std::fprintf(stderr, "error %d errno %d", static_cast<int>(r.error), r.systemError);
    return r.error == PresetSaveError::DiskFull ? 0 : 1;
  });
  ASSERT_TRUE(full.exited);
  EXPECT_EQ(full.code, 0) << full.report;
  EXPECT_EQ(FileBytes(file), saved);

  // Permission bits bind an ordinary user: the tree is theirs to read, the folder not to write.
  namespace fs = std::filesystem;
  for (fs::path p = UserFolder(); p != profile.path().parent_path(); p = p.parent_path())
    fs::permissions(p, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  const ChildResult locked = RunInChild({.unprivileged = true}, [&] {
    const PresetSaveResult r = pm.SavePresetFile(UserFolder() / "New");
    std::fprintf(stderr, "error %d errno %d", static_cast<int>(r.error), r.systemError);
    return r.error == PresetSaveError::FolderNotWritable ? 0 : 1;
  });
  ASSERT_TRUE(locked.exited);
  EXPECT_EQ(locked.code, 0) << locked.report;
  EXPECT_FALSE(fs::exists(UserFolder() / "New.qrv"));
}

class ShownMessages final : public platform::MessageBox {
 public:
  int Show(const std::string& text, const std::string& caption) override {
    shown.emplace_back(text, caption);
    return platform::kMessageBoxOk;
  }
  std::vector<std::pair<std::string, std::string>> shown;
};

// Settings writes on a full disk: a favourite, the zoom and the hints store nothing, and the user is
// told once, with the reason; the settings file keeps what it held.
TEST_F(PresetManagerSettingsTest, FailedSettingsWritesAreToldOnceWithTheReason) {
  ASSERT_TRUE(settings::WriteNumber(settings::kSettingHints, 1.0));
  const std::vector<char> before = FileBytes(file);
  const ChildResult r = RunInChild({.fileSizeLimit = 16}, [&] {
    ShownMessages messages;
    platform::Services s;
    s.messageBox = &messages;
    platform::ScopedServices scoped(s);
    settings::ResetFailureReport();
    test::FakeMasterController fake;
    PresetManager pm(&fake);
    fake.manager = &pm;
    pm.AssignFavorite(0);
    pm.SetZoom(1.5);
    settings::SetProcessHints(0);
    const bool hintsStored = settings::SaveHints();
    for (const auto& [text, caption] : messages.shown) std::fprintf(stderr, "[%s | %s]\n", text.c_str(), caption.c_str());
    if (messages.shown.size() != 1 || hintsStored || pm.FavoriteExists(0)) return 1;
    const std::string& text = messages.shown[0].first;
    return text.starts_with(settings::kCouldNotStoreSettings) && text.find("the disk is full") != std::string::npos &&
                   text.find(file.string()) != std::string::npos
               ? 0
               : 2;
  });
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(r.code, 0) << r.report;
  EXPECT_EQ(FileBytes(file), before);
}

}  // namespace
}  // namespace qrv
