// The editor's own save dialog over the panel, driven by clicks and keys through the frame.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "platform/AtomicFile.h"
#include "presets/PresetBlob.h"
#include "tests/presetbar/BarEditorFixture.h"

namespace qrv::test {
namespace {

using Quarrytone::PresetBarSaveDialog;

std::vector<char> Bytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

class SaveDialogTest : public BarEditorFixture {
 protected:
  void SetUp() override { Open(); }
  PresetBarSaveDialog& OpenDialog() {
    Click(bar().saveButton());
    auto* d = dynamic_cast<PresetBarSaveDialog*>(bar().saveDialog());
    EXPECT_NE(d, nullptr);
    EXPECT_TRUE(d && d->isOpen());
    return *d;
  }
  void TypeAndReturn(const std::string& text) {
    headless().type(text);
    Key(tk::VirtualKey::Return);
  }
  void ClickIn(const QRVRect& r) { Click(Centre(r)); }
};

// No usable user folder (a profile path too long for one, or a relative one): the dialog says so from the
// start, and neither Return nor Save writes a file anywhere, the host's working folder included.
class SaveDialogWithoutUserFolder : public SaveDialogTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(::getcwd(savedCwd_, sizeof savedCwd_), savedCwd_);
    ASSERT_EQ(::chdir(cwd_.path().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(::chdir(savedCwd_), 0); }
  TempDir cwd_;
  char savedCwd_[4096] = {};
};

TEST_F(SaveDialogWithoutUserFolder, SaysSoAndSavesNothingAnywhere) {
  const std::pair<std::string, std::string> cases[] = {
      {"/" + std::string(1000, 'p'), "There is no user preset folder: its path would be longer than 1023 bytes."},
      {"relative/profile", "There is no user preset folder: USERPROFILE is not an absolute path."}};
  for (const auto& [profile, line] : cases) {
    setenv("USERPROFILE", profile.c_str(), 1);
    Open();
    ASSERT_EQ(UserFolder(), "") << profile;
    PresetBarSaveDialog& d = OpenDialog();
    EXPECT_EQ(d.message(), line);
    TypeAndReturn("Warm");
    EXPECT_TRUE(d.isOpen());
    EXPECT_EQ(d.message(), line);
    ClickIn(d.saveButtonRect());
    EXPECT_TRUE(d.isOpen());
    Key(tk::VirtualKey::Escape);
    EXPECT_FALSE(d.isOpen());
    // The manager refuses a path of no folder too.
    EXPECT_EQ(pm().SavePresetFile("Warm.qrv").error, PresetSaveError::NoUserFolder);
    EXPECT_EQ(Label(), "00: Default");
    EXPECT_TRUE(std::filesystem::is_empty(cwd_.path())) << profile;
    first.reset();
  }
}

TEST_F(SaveDialogTest, ReturnSavesTheTypedNameAndTheKeyboardGoesBackToTheHost) {
  PresetBarSaveDialog& d = OpenDialog();
  EXPECT_TRUE(Shown(d.container()));
  EXPECT_EQ(d.name(), "Default.qrv");
  EXPECT_EQ(d.request().title, "Save preset");
  // The window holds the keyboard while the dialog asks; the default name is selected, so typing
  // replaces it.
  EXPECT_TRUE(headless().keyboardHeld());
  TypeAndReturn("Warm");
  EXPECT_FALSE(d.isOpen());
  EXPECT_FALSE(Shown(d.container()));
  EXPECT_FALSE(headless().keyboardHeld());
  PresetRecord stored;
  ASSERT_EQ(ReadPresetFile(UserFolder() / "Warm.qrv", stored), BlobStatus::Ok);
  EXPECT_EQ(stored.Name(), "Default");  // the file carries the name from before the save
  EXPECT_EQ(Label(), "00: Warm");

  // The extension rule: a typed ".qrv" is not doubled.
  OpenDialog();
  TypeAndReturn("Mix.qrv.qrv");
  EXPECT_TRUE(std::filesystem::exists(UserFolder() / "Mix.qrv"));
  EXPECT_FALSE(std::filesystem::exists(UserFolder() / "Mix.qrv.qrv"));
}

TEST_F(SaveDialogTest, EscapeAndCancelSaveNothing) {
  OpenDialog();
  headless().type("Gone");
  Key(tk::VirtualKey::Escape);
  EXPECT_FALSE(bar().saveDialog()->isOpen());
  EXPECT_FALSE(headless().keyboardHeld());
  PresetBarSaveDialog& d = OpenDialog();
  headless().type("Gone");
  ClickIn(d.cancelButtonRect());
  EXPECT_FALSE(d.isOpen());
  EXPECT_TRUE(std::filesystem::is_empty(UserFolder()));
  EXPECT_EQ(Label(), "00: Default");
}

TEST_F(SaveDialogTest, RefusedNamesKeepTheDialogWithALine) {
  PresetBarSaveDialog& d = OpenDialog();
  const std::pair<const char*, const char*> cases[] = {{"a/b", PresetBarSaveDialog::kSlashInName},
                                                       {".hidden", PresetBarSaveDialog::kLeadingDot},
                                                       {"   ", PresetBarSaveDialog::kEmptyName}};
  for (const auto& [name, line] : cases) {
    TypeAndReturn(name);
    EXPECT_TRUE(d.isOpen()) << name;
    EXPECT_EQ(d.message(), line) << name;
    EXPECT_TRUE(headless().keyboardHeld()) << name;
  }
  // Emptied, then the Save button.
  Key(tk::VirtualKey::Delete);
  ClickIn(d.saveButtonRect());
  EXPECT_EQ(d.message(), PresetBarSaveDialog::kEmptyName);
  EXPECT_TRUE(std::filesystem::is_empty(UserFolder()));
  // The field takes 64 characters.
  ClickIn(d.nameRect());
  headless().type(std::string(70, 'x'));
  EXPECT_EQ(d.name(), std::string(64, 'x'));
}

TEST_F(SaveDialogTest, AGroupFolderAndAConfirmationBeforeReplacing) {
  std::filesystem::create_directories(UserFolder() / "Drums");
  pm().library().RescanUserPresets();
  PresetBarSaveDialog& d = OpenDialog();
  ASSERT_EQ(d.request().groups, std::vector<std::string>{"Drums"});
  ClickIn(d.folderRowRect(1));
  EXPECT_EQ(d.selectedFolder(), 1);
  EXPECT_TRUE(d.isOpen());
  EXPECT_TRUE(headless().keyboardHeld());  // the name keeps the keyboard
  TypeAndReturn("Kick");
  const auto kick = UserFolder() / "Drums" / "Kick.qrv";
  ASSERT_TRUE(std::filesystem::exists(kick));
  const auto savedFirst = Bytes(kick);

  // Saved again under the same name after a change: first a question, then the file is replaced.
  window().parameterChanged(kSlotCompression, 0.9);  // a knob turned on the panel
  OpenDialog();
  ClickIn(d.folderRowRect(1));
  TypeAndReturn("Kick");
  EXPECT_TRUE(d.confirming());
  EXPECT_EQ(d.message(), "\"Kick.qrv\" exists. Replace it?");
  EXPECT_EQ(Bytes(kick), savedFirst);
  ClickIn(d.cancelButtonRect());  // not replaced; the dialog stays
  EXPECT_TRUE(d.isOpen());
  EXPECT_FALSE(d.confirming());
  Key(tk::VirtualKey::Return);
  ASSERT_TRUE(d.confirming());
  Key(tk::VirtualKey::Return);
  EXPECT_FALSE(d.isOpen());
  EXPECT_NE(Bytes(kick), savedFirst);
  EXPECT_EQ(pm().current().Name(), "Kick");
}

// A question is bound to the file it asked about: a new name or folder withdraws it, and Replace
// replaces only that file.
TEST_F(SaveDialogTest, AReplaceQuestionCountsOnlyForTheFileItNamed) {
  std::filesystem::create_directories(UserFolder() / "Drums");
  for (const auto& f : {UserFolder() / "a.qrv", UserFolder() / "b.qrv", UserFolder() / "Drums" / "b.qrv"}) {
    std::ofstream out(f, std::ios::binary);
    out << "old " << f.filename().string();
  }
  pm().library().RescanUserPresets();
  const auto a = Bytes(UserFolder() / "a.qrv"), b = Bytes(UserFolder() / "b.qrv");
  PresetBarSaveDialog& d = OpenDialog();
  TypeAndReturn("a");
  ASSERT_TRUE(d.confirming());
  EXPECT_EQ(d.message(), "\"a.qrv\" exists. Replace it?");
  // Ctrl+A and another existing name: Return asks again, about that file.
  headless().keyDown(tk::KeyEvent{'a', tk::VirtualKey::None, tk::kControl});
  TypeAndReturn("b");
  EXPECT_TRUE(d.isOpen());
  EXPECT_TRUE(d.confirming());
  EXPECT_EQ(d.message(), "\"b.qrv\" exists. Replace it?");
  EXPECT_EQ(Bytes(UserFolder() / "b.qrv"), b);
  EXPECT_EQ(Bytes(UserFolder() / "a.qrv"), a);
  // Typing withdraws the question at the next tick, before any Return.
  Key(tk::VirtualKey::End);
  headless().type("x");
  Tick();
  EXPECT_FALSE(d.confirming());
  EXPECT_EQ(d.message(), "");
  Key(tk::VirtualKey::Back);
  Key(tk::VirtualKey::Return);
  ASSERT_TRUE(d.confirming());
  // Another folder withdraws it too: Drums/b.qrv is asked about on its own.
  ClickIn(d.folderRowRect(1));
  EXPECT_FALSE(d.confirming());
  Key(tk::VirtualKey::Return);
  ASSERT_TRUE(d.confirming());
  EXPECT_EQ(d.questionedPath(), UserFolder() / "Drums" / "b.qrv");
  Key(tk::VirtualKey::Return);
  EXPECT_FALSE(d.isOpen());
  EXPECT_NE(Bytes(UserFolder() / "Drums" / "b.qrv"), std::vector<char>{});
  EXPECT_EQ(Bytes(UserFolder() / "b.qrv"), b);
  EXPECT_EQ(Bytes(UserFolder() / "a.qrv"), a);
}

// Tab leaves the name to the field again and ends nothing; only Return saves.
TEST_F(SaveDialogTest, TabNeitherSavesNorConfirms) {
  {
    std::ofstream out(UserFolder() / "a.qrv", std::ios::binary);
    out << "old";
  }
  PresetBarSaveDialog& d = OpenDialog();
  headless().type("t");
  Key(tk::VirtualKey::Tab);
  EXPECT_TRUE(d.isOpen());
  EXPECT_FALSE(std::filesystem::exists(UserFolder() / "t.qrv"));
  EXPECT_TRUE(headless().keyboardHeld());
  headless().type("a");  // the field has the keyboard, its text selected
  Key(tk::VirtualKey::Return);
  ASSERT_TRUE(d.confirming());
  Key(tk::VirtualKey::Tab);
  EXPECT_TRUE(d.isOpen());
  EXPECT_EQ(Bytes(UserFolder() / "a.qrv"), (std::vector<char>{'o', 'l', 'd'}));
  Key(tk::VirtualKey::Return);
  EXPECT_FALSE(d.isOpen());
  EXPECT_NE(Bytes(UserFolder() / "a.qrv"), (std::vector<char>{'o', 'l', 'd'}));
}

// A write-protected file is named as such and never offered for replacing.
TEST_F(SaveDialogTest, AWriteProtectedFileIsNotOfferedForReplacing) {
  const auto ro = UserFolder() / "ro.qrv";
  {
    std::ofstream out(ro, std::ios::binary);
    out << "mine";
  }
  std::filesystem::permissions(ro, std::filesystem::perms::owner_read);
  PresetBarSaveDialog& d = OpenDialog();
  TypeAndReturn("ro");
  EXPECT_TRUE(d.isOpen());
  EXPECT_FALSE(d.confirming());
  EXPECT_EQ(d.message(), "\"ro.qrv\" is write-protected.");
  Key(tk::VirtualKey::Return);
  EXPECT_FALSE(d.confirming());
  EXPECT_EQ(Bytes(ro), (std::vector<char>{'m', 'i', 'n', 'e'}));
}

// The field takes no more bytes than the folder's file names hold, less the extension, so that every
// name it takes can be saved.
TEST_F(SaveDialogTest, TheNameFieldTakesOnlyWhatTheFolderCanName) {
  PresetBarSaveDialog& d = OpenDialog();
  ASSERT_EQ(d.nameByteLimit(), qrv::platform::MaxFileNameBytes(UserFolder()) - 4);
  std::string guitars;
  for (int i = 0; i < 64; ++i) guitars += "\xF0\x9F\x8E\xB8";
  headless().type(guitars);
  const std::string taken = d.name();
  EXPECT_LE(taken.size(), d.nameByteLimit());
  EXPECT_EQ(taken, guitars.substr(0, d.nameByteLimit() / 4 * 4));
  Key(tk::VirtualKey::Return);
  EXPECT_FALSE(d.isOpen());
  EXPECT_TRUE(std::filesystem::exists(UserFolder() / (taken + ".qrv")));
}

TEST_F(SaveDialogTest, TheDialogFollowsTheWindowAndClosesWithIt) {
  PresetBarSaveDialog& d = OpenDialog();
  window().resizeEditor(500, 300);
  EXPECT_DOUBLE_EQ(d.container()->getViewSize().right, 500);
  EXPECT_DOUBLE_EQ(d.boxRect().left, 90);  // centred: (500 - 320) / 2
  // The corner never shows over the dialog.
  Move(Centre(bar().cornerRect()));
  Tick();
  EXPECT_FALSE(bar().cornerShown());
  first.reset();  // closing the window with the dialog open
}

}  // namespace
}  // namespace qrv::test
