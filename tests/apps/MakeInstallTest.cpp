// `make install` and `make uninstall` as a user runs them, with HOME in a scratch folder that holds a
// user preset and settings of the user's own: what the install puts in place (under PREFIX, in ~/.lv2,
// ~/.clap and ~/.vst3, the manual's path in the settings) and that the uninstall takes exactly that away
// again.
// The build is done when this runs (`make test` builds first); the nested make only finds it up to date.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "platform/Registry.h"
#include "presets/SettingsStore.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVst3Module = "QRV warmGlow.vst3/Contents/x86_64-linux/QRV warmGlow.so";

// Every path below root (files, links and folders), relative, with each file's bytes.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  if (!fs::exists(root)) return tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    tree[rel] = e.is_regular_file() && !e.is_symlink() ? test::FileBytes(e.path()) : std::string("<folder>");
  }
  return tree;
}

std::string Listing(const std::map<std::string, std::string>& tree) {
  std::string text;
  for (const auto& [path, bytes] : tree) text += "\n  " + path;
  return text;
}

class MakeInstallTest : public ::testing::Test {
 protected:
  // make with the scratch HOME and nothing of the outer make's job server: the settings store's path
  // follows HOME alone.
  test::ProcessResult Make(const std::vector<std::string>& args, const fs::path& makefileDir = QRV_SOURCE_DIR) {
    std::vector<std::string> argv = {"-u", "MAKEFLAGS", "-u", "MFLAGS", "-u", "MAKELEVEL", "-u", "QRV_CONFIG_DIR",
                                     "-u", "XDG_CONFIG_HOME", "-u", "USERPROFILE", "-u", "DESTDIR",
                                     "HOME=" + home_.path().string(), QRV_MAKE, "--no-print-directory", "-C",
                                     makefileDir.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::ChildProcess("/usr/bin/env", argv, scratch_.path()).Wait(std::chrono::minutes(5));
  }
  test::ProcessResult Install(const fs::path& prefix) {
    return Make({"install", "PREFIX=" + prefix.string(), std::string("BUILD_DIR=") + QRV_BUILD_DIR, "JOBS=1"});
  }
  test::ProcessResult Uninstall(const fs::path& prefix) {
    return Make({"uninstall", "PREFIX=" + prefix.string()});
  }
  // The installed warmglow, run with the scratch HOME.
  test::ProcessResult Warmglow(const fs::path& prefix, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"-u", "QRV_CONFIG_DIR", "-u", "XDG_CONFIG_HOME",
                                     "HOME=" + home_.path().string(), (prefix / "bin" / "warmglow").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::RunProcess("/usr/bin/env", argv, scratch_.path());
  }

  fs::path Settings() const { return home_ / ".config" / "Quarry-tone" / "settings.reg"; }
  std::optional<platform::RegistryValue> Setting(std::string_view key, std::string_view name) {
    return platform::FileRegistry(Settings()).Read(key, name);
  }
  std::string StoredManualPath() {
    const auto v = Setting(settings::kPresetKey, settings::kManualPathValue);
    return v && v->type == platform::RegistryType::String ? v->text : std::string();
  }

  // A user preset and an unrelated setting, as the plug-in would have left them.
  void SeedHome() {
    const fs::path presets = home_ / "Documents" / "quarry-tone.com" / "User Presets" / "QRV warmGlow";
    fs::create_directories(presets);
    std::ofstream(presets / "My Bus.qrv", std::ios::binary) << std::string(64, '\x2a');
    ASSERT_TRUE(platform::FileRegistry(Settings())
                    .Write(settings::kPresetKey, "Favorite_0", platform::RegistryValue::Binary(favourite_)));
  }
  void ExpectSeedKept() {
    const auto v = Setting(settings::kPresetKey, "Favorite_0");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->bytes, favourite_);
    EXPECT_EQ(test::FileBytes(home_ / "Documents/quarry-tone.com/User Presets/QRV warmGlow/My Bus.qrv"),
              std::string(64, '\x2a'));
  }

  // The manifest's entries of one kind.
  static std::vector<std::string> Entries(const fs::path& prefix, const std::string& kind) {
    std::vector<std::string> out;
    std::istringstream in(test::FileBytes(prefix / "share/qrv-warmglow/install-manifest.txt"));
    for (std::string line; std::getline(in, line);) {
      if (line.rfind(kind + "\t", 0) == 0) out.push_back(line.substr(kind.size() + 1));
    }
    return out;
  }

  // The installed manual names every control and feature as the panel does, and each picture it shows
  // lies beside it.
  static void ExpectManual(const fs::path& doc) {
    const std::string html = test::FileBytes(doc / "index.html");
    ASSERT_FALSE(html.empty()) << doc;
    for (const char* name : {"Ratio", "Attack", "Time", "Compression", "Output", "Valve", "A/B", "Undo",
                             "Favourites", "Browser", "Zoom"})
      EXPECT_NE(html.find(name), std::string::npos) << name;
    static const std::regex kImg(R"re(<img[^>]*\ssrc="([^"]+)")re");
    std::set<std::string> pictures;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), kImg); it != std::sregex_iterator(); ++it)
      pictures.insert((*it)[1]);
    EXPECT_GE(pictures.size(), 4u);
    for (const std::string& src : pictures) {
      EXPECT_EQ(src.find('/'), std::string::npos) << src << " is not beside the page";
      EXPECT_TRUE(fs::is_regular_file(doc / src)) << src;
      EXPECT_EQ(test::FileBytes(doc / src).substr(1, 3), "PNG") << src;
    }
  }

  test::TempDir home_, scratch_;
  const std::vector<uint8_t> favourite_ = std::vector<uint8_t>(48, 7);
};

TEST_F(MakeInstallTest, APerUserInstallGoesAwayWithUninstallAndLeavesTheUsersFiles) {
  SeedHome();
  const auto before = Tree(home_.path());
  const fs::path prefix = home_ / ".local";

  auto r = Install(prefix);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const fs::path doc = prefix / "share/doc/qrv-warmglow";
  for (const fs::path& p : {prefix / "bin/warmglow", prefix / "bin/aaxhost", prefix / "share/man/man1/warmglow.1",
                            prefix / "share/man/man1/aaxhost.1", home_ / ".lv2/QRV warmGlow.lv2/manifest.ttl",
                            home_ / ".clap/QRV warmGlow.clap", home_ / ".vst3" / kVst3Module,
                            home_ / ".vst3/QRV warmGlow.vst3/Contents/Resources/moduleinfo.json",
                            home_ / ".vst3/presets/Quarry-tone/QRV warmGlow Stereo/Vox.vstpreset",
                            prefix / "share/qrv-warmglow/install-manifest.txt"})
    EXPECT_TRUE(fs::is_regular_file(p)) << p;
  ExpectManual(doc);
  // Each plug-in binary knows its installation's manual, and the settings name it for this user.
  const std::string manual = (doc / "index.html").string();
  for (const fs::path& record :
       {home_ / ".lv2/QRV warmGlow.lv2/warmglow_core.so.manual", home_ / ".clap/QRV warmGlow.clap.manual",
        home_ / ".vst3" / (std::string(kVst3Module) + ".manual"),
        prefix / "lib/qrv-warmglow/QRV warmGlow.aaxplugin/Contents/x86_64-linux/QRV warmGlow.so.manual"})
    EXPECT_EQ(test::FileBytes(record), manual + "\n") << record;
  EXPECT_EQ(StoredManualPath(), manual);
  ExpectSeedKept();

  // The manifest lists every file the install added to the home folder, and nothing of the user's.
  const auto installed = Tree(home_.path());
  const auto files = Entries(prefix, "file");
  const std::set<std::string> listed(files.begin(), files.end());
  for (const auto& [path, bytes] : installed) {
    if (before.count(path) || bytes == "<folder>" || path == ".local/share/qrv-warmglow/install-manifest.txt")
      continue;
    if (path == ".config/Quarry-tone/settings.reg") continue;  // the user's, changed in one value
    EXPECT_TRUE(listed.count((home_ / path).string())) << path << " is not in the manifest";
  }
  for (const std::string& f : files) EXPECT_TRUE(fs::exists(f)) << f;

  r = Uninstall(prefix);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(StoredManualPath(), "");
  ExpectSeedKept();
  // Everything else as it was: the same paths, the user's files with the same bytes.
  auto after = Tree(home_.path());
  after.erase(".config/Quarry-tone/settings.reg");
  auto expected = before;
  expected.erase(".config/Quarry-tone/settings.reg");
  EXPECT_EQ(after, expected) << "before:" << Listing(expected) << "\nafter:" << Listing(after);
}

TEST_F(MakeInstallTest, AnInstallInAFreshHomeLeavesNothingBehindAndUninstallNeedsNoBuild) {
  // No settings yet: the install creates the settings file for the manual's path alone, and the
  // uninstall removes it with the folders it made.
  test::TempDir prefix;
  auto r = Install(prefix.path());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(fs::is_regular_file(prefix / "lib/lv2/QRV warmGlow.lv2/manifest.ttl"));
  EXPECT_TRUE(fs::is_regular_file(prefix / "lib/clap/QRV warmGlow.clap"));
  EXPECT_EQ(test::FileBytes(prefix / "lib/clap/QRV warmGlow.clap.manual"),
            (prefix / "share/doc/qrv-warmglow/index.html").string() + "\n");
  EXPECT_TRUE(fs::is_regular_file(prefix / "lib/vst3" / kVst3Module));
  EXPECT_TRUE(fs::is_regular_file(prefix / "share/vst3/presets/Quarry-tone/QRV warmGlow Mono/Vox.vstpreset"));
  EXPECT_EQ(test::FileBytes(prefix / "lib/vst3" / (std::string(kVst3Module) + ".manual")),
            (prefix / "share/doc/qrv-warmglow/index.html").string() + "\n");
  ExpectManual(prefix / "share/doc/qrv-warmglow");
  EXPECT_EQ(StoredManualPath(), (prefix / "share/doc/qrv-warmglow/index.html").string());
  // Only the settings in the home folder.
  std::set<std::string> inHome;
  for (const auto& [path, bytes] : Tree(home_.path())) inHome.insert(path);
  EXPECT_EQ(inHome, (std::set<std::string>{".config", ".config/Quarry-tone", ".config/Quarry-tone/settings.reg",
                                           ".config/Quarry-tone/settings.reg.lock"}));

  // From a copy of the sources without any build: the Makefile and the scripts.
  test::TempDir clone;
  fs::create_directories(clone / "scripts");
  fs::copy_file(fs::path(QRV_SOURCE_DIR) / "Makefile", clone / "Makefile");
  fs::copy_file(fs::path(QRV_SOURCE_DIR) / "scripts/uninstall.sh", clone / "scripts/uninstall.sh");
  r = Make({"uninstall", "PREFIX=" + prefix.path().string()}, clone.path());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Tree(prefix.path()).empty()) << Listing(Tree(prefix.path()));
  EXPECT_TRUE(Tree(home_.path()).empty()) << Listing(Tree(home_.path()));
  EXPECT_FALSE(fs::exists(clone / "build"));
  // Once more, nothing is left to undo.
  r = Make({"uninstall", "PREFIX=" + prefix.path().string()}, clone.path());
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("no install manifest"), std::string::npos) << r.err;
}

TEST_F(MakeInstallTest, AReinstallKeepsTheManifestAndAManualPathTheUserChoseStays) {
  SeedHome();
  const auto before = Tree(home_.path());
  const fs::path prefix = home_ / ".local";
  auto r = Install(prefix);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const auto files = Entries(prefix, "file");
  const auto dirs = Entries(prefix, "dir");
  r = Install(prefix);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(Entries(prefix, "file"), files);
  EXPECT_EQ(Entries(prefix, "dir"), dirs);

  // The user points the plug-ins at a manual of their own; uninstalling leaves that choice.
  const fs::path own = home_ / "Documents" / "my manual.html";
  std::ofstream(own) << "<p>notes</p>";
  r = Warmglow(prefix, {"manual-path", "--set", own.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  r = Uninstall(prefix);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(StoredManualPath(), own.string());
  ExpectSeedKept();
  for (const std::string& f : files) EXPECT_FALSE(fs::exists(f)) << f;
  auto after = Tree(home_.path());
  after.erase(".config/Quarry-tone/settings.reg");
  after.erase("Documents/my manual.html");
  auto expected = before;
  expected.erase(".config/Quarry-tone/settings.reg");
  EXPECT_EQ(after, expected) << "before:" << Listing(expected) << "\nafter:" << Listing(after);
}

TEST_F(MakeInstallTest, UninstallRefusesAManifestNamingFilesOutsidePrefixAndHome) {
  test::TempDir prefix, elsewhere;
  const fs::path victim = elsewhere / "keep.txt";
  std::ofstream(victim) << "mine";
  fs::create_directories(prefix / "share/qrv-warmglow");
  // Each on its own: the victim by name, and the victim reached from inside PREFIX through "..".
  for (const fs::path& entry : {victim, prefix / "share/../.." / elsewhere.path().filename() / "keep.txt"}) {
    std::ofstream(prefix / "share/qrv-warmglow/install-manifest.txt")
        << "prefix\t" << prefix.path().string() << "\nfile\t" << entry.string() << "\n";
    const auto r = Uninstall(prefix.path());
    EXPECT_NE(r.status, 0) << entry;
    EXPECT_NE(r.err.find("nothing removed"), std::string::npos) << r.err;
    EXPECT_EQ(test::FileBytes(victim), "mine") << entry;
    EXPECT_TRUE(fs::exists(prefix / "share/qrv-warmglow/install-manifest.txt"));
  }
}

TEST_F(MakeInstallTest, AStagedInstallIsRefusedBeforeAnythingIsPutInPlace) {
  test::TempDir prefix, stage;
  const auto r = Make({"install", "PREFIX=" + prefix.path().string(), std::string("BUILD_DIR=") + QRV_BUILD_DIR,
                       "JOBS=1", "DESTDIR=" + stage.path().string()});
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("DESTDIR is not supported"), std::string::npos) << r.err;
  EXPECT_TRUE(Tree(prefix.path()).empty()) << Listing(Tree(prefix.path()));
  EXPECT_TRUE(Tree(stage.path()).empty()) << Listing(Tree(stage.path()));
  EXPECT_EQ(StoredManualPath(), "");
}

// The manifest lost and the install run again over folders that are all there already; then a settings
// step that fails: the uninstall removes nothing until the settings can be mended, and then the rest.
TEST_F(MakeInstallTest, AnInstallOverItsOwnFoldersAndAFailedSettingsStepStillUndoCleanly) {
  test::TempDir prefix;
  const fs::path manifest = prefix / "share/qrv-warmglow/install-manifest.txt";
  auto r = Install(prefix.path());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  fs::remove(manifest);
  r = Install(prefix.path());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_TRUE(Entries(prefix.path(), "dir").empty()) << test::FileBytes(manifest);
  const auto files = Entries(prefix.path(), "file");
  ASSERT_FALSE(files.empty());

  // The settings' lock file is a folder now: the manual's path cannot be taken out of the settings.
  const fs::path lock = Settings().string() + ".lock";
  fs::remove(lock);
  fs::create_directory(lock);
  r = Uninstall(prefix.path());
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("nothing else removed"), std::string::npos) << r.err;
  for (const std::string& f : files) EXPECT_TRUE(fs::exists(f)) << f;
  EXPECT_TRUE(fs::exists(manifest));

  fs::remove(lock);
  r = Uninstall(prefix.path());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(StoredManualPath(), "");
  for (const std::string& f : files) EXPECT_FALSE(fs::exists(f)) << f;
  EXPECT_FALSE(fs::exists(manifest));
}

// `make demo` as an ordinary user: the LV2 bundle goes into that user's ~/.lv2, as the demo says, and
// nowhere else (a system folder would refuse the user anyway), recorded so that `make uninstall` takes it
// away again. Run as root (as CI runs), the demo runs as a user made for the purpose; the build is this
// build tree, up to date, and the Makefile and scripts are a copy the user owns, for the demo's output.
class MakeDemoAsUserTest : public MakeInstallTest {
 protected:
  static constexpr const char* kUser = "qrv-demo-user";

  void SetUp() override {
    if (::geteuid() != 0) {
      uid_ = ::geteuid();
      gid_ = ::getegid();
      return;
    }
    if (::getpwnam(kUser) == nullptr) {
      // Two test processes may race to create it; either way it must exist afterwards.
      test::RunProcess("/usr/sbin/useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser},
                       scratch_.path());
    }
    const passwd* user = ::getpwnam(kUser);
    ASSERT_NE(user, nullptr) << "could not create the user " << kUser;
    uid_ = user->pw_uid;
    gid_ = user->pw_gid;
    // The demo writes into the home folder and beside its Makefile; the install writes its record of
    // installed files into the build folder (cmake --install), so that one file must be the user's too.
    for (const fs::path& p : {home_.path(), clone_.path()}) ASSERT_EQ(::chown(p.c_str(), uid_, gid_), 0) << p;
    record_ = fs::path(QRV_BUILD_DIR) / "install_manifest_lv2.txt";
    if (!fs::exists(record_)) std::ofstream(record_).flush();
    ASSERT_EQ(::chown(record_.c_str(), uid_, gid_), 0);
  }
  void TearDown() override {
    if (!record_.empty() && ::chown(record_.c_str(), 0, 0) != 0) ADD_FAILURE() << "could not give back " << record_;
  }

  // make in the copy, as the user, with the scratch HOME and the build tree's folder.
  test::ProcessResult MakeAsUser(const std::vector<std::string>& args) {
    std::vector<std::string> argv;
    if (::geteuid() == 0) {
      argv = {"--reuid=" + std::to_string(uid_), "--regid=" + std::to_string(gid_), "--clear-groups"};
      // The build tree is read, never written, as any user who can reach it would read it; when it lies
      // in a folder only root can enter, the user gets to read and search it and nothing more.
      std::vector<std::string> probe = argv;
      probe.insert(probe.end(), {"test", "-r", std::string(QRV_BUILD_DIR) + "/build.ninja"});
      if (test::RunProcess("/usr/bin/setpriv", probe, scratch_.path()).status != 0)
        argv.insert(argv.end(), {"--inh-caps=+dac_read_search", "--ambient-caps=+dac_read_search"});
      argv.push_back("/usr/bin/env");
    }
    const std::vector<std::string> env = {"-u", "MAKEFLAGS", "-u", "MFLAGS", "-u", "MAKELEVEL", "-u", "QRV_CONFIG_DIR",
                                          "-u", "XDG_CONFIG_HOME", "-u", "USERPROFILE", "-u", "DESTDIR",
                                          "HOME=" + home_.path().string(), "TMPDIR=" + clone_.path().string(),
                                          QRV_MAKE, "--no-print-directory", "-C", clone_.path().string()};
    argv.insert(argv.end(), env.begin(), env.end());
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string program = ::geteuid() == 0 ? "/usr/bin/setpriv" : "/usr/bin/env";
    return test::ChildProcess(program, argv, scratch_.path()).Wait(std::chrono::minutes(5));
  }

  void CopySources() {
    fs::create_directories(clone_ / "scripts");
    fs::copy_file(fs::path(QRV_SOURCE_DIR) / "Makefile", clone_ / "Makefile");
    for (const char* script : {"install-deps.sh", "demo.sh", "install.sh", "uninstall.sh"})
      fs::copy_file(fs::path(QRV_SOURCE_DIR) / "scripts" / script, clone_ / "scripts" / script);
    for (const auto& e : fs::recursive_directory_iterator(clone_.path()))
      ASSERT_EQ(::lchown(e.path().c_str(), uid_, gid_), 0) << e.path();
  }

  test::TempDir clone_;
  fs::path record_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

TEST_F(MakeDemoAsUserTest, MakeDemoInstallsIntoTheUsersDotLv2AndMakeUninstallRemovesIt) {
  CopySources();
  ASSERT_NE(uid_, 0u);
  const auto before = Tree(home_.path());
  auto r = MakeAsUser({"demo", std::string("BUILD_DIR=") + QRV_BUILD_DIR, "JOBS=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const fs::path bundle = home_ / ".lv2" / "QRV warmGlow.lv2";
  for (const char* file : {"manifest.ttl", "warmglow.ttl", "presets.ttl", "ui.ttl", "warmglow.so", "warmglow_ui.so",
                           "warmglow_core.so"}) {
    EXPECT_TRUE(fs::is_regular_file(bundle / file)) << file;
    struct stat st {};
    EXPECT_EQ(::stat((bundle / file).c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, uid_) << file << " is not the user's";
  }
  // It says where the bundle is, and that is where it is.
  EXPECT_NE(r.out.find("\"QRV warmGlow.lv2\" is installed in " + (home_ / ".lv2").string() + " "), std::string::npos)
      << r.out;
  EXPECT_TRUE(fs::is_regular_file(clone_ / "demo-output" / "programme.wav"));
  const fs::path prefix = home_ / ".local";
  const auto files = Entries(prefix, "file");
  EXPECT_NE(std::find(files.begin(), files.end(), (bundle / "manifest.ttl").string()), files.end())
      << test::FileBytes(prefix / "share/qrv-warmglow/install-manifest.txt");

  // The demo again (over its own install), then uninstalling leaves the home folder as it was.
  r = MakeAsUser({"demo", std::string("BUILD_DIR=") + QRV_BUILD_DIR, "JOBS=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  r = MakeAsUser({"uninstall"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_FALSE(fs::exists(bundle));
  EXPECT_EQ(Tree(home_.path()), before) << "after:" << Listing(Tree(home_.path()));
}

// `make install-lv2` (the demo's install), then a whole install over it, then the bundle alone again: one
// manifest lists both, the whole install's settings entries survive the partial one, and one uninstall
// removes everything.
TEST_F(MakeInstallTest, TheDemosLv2InstallAndAWholeInstallShareOneManifest) {
  const fs::path prefix = home_ / ".local";
  auto r = Make({"install-lv2", std::string("BUILD_DIR=") + QRV_BUILD_DIR, "JOBS=1"});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Installed lv2 into " + (home_ / ".lv2").string() + " "), std::string::npos) << r.out;
  EXPECT_TRUE(fs::is_regular_file(home_ / ".lv2/QRV warmGlow.lv2/manifest.ttl"));
  EXPECT_FALSE(fs::exists(prefix / "bin/warmglow"));
  EXPECT_TRUE(Entries(prefix, "setting").empty());
  r = Install(prefix);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const auto settings = Entries(prefix, "setting");
  ASSERT_EQ(settings.size(), 1u);
  r = test::RunProcess("/usr/bin/env", {"-u", "QRV_CONFIG_DIR", "-u", "XDG_CONFIG_HOME", "-u", "USERPROFILE",
                                        "HOME=" + home_.path().string(), "bash",
                                        std::string(QRV_SOURCE_DIR) + "/scripts/install.sh", QRV_BUILD_DIR,
                                        prefix.string(), "lv2"},
                       scratch_.path());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(Entries(prefix, "setting"), settings);
  EXPECT_EQ(Entries(prefix, "settings-file").size(), 1u);
  r = Uninstall(prefix);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(StoredManualPath(), "");
  EXPECT_TRUE(Tree(home_.path()).empty()) << Listing(Tree(home_.path()));
}

}  // namespace
}  // namespace qrv
