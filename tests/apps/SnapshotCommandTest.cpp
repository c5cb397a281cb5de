// 'warmglow snapshot' as a user runs it: the window's pixel size per zoom, what the options change,
// bad arguments, and a settings store that is read but never written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/Services.h"
#include "presets/SettingsStore.h"
#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;

std::vector<unsigned char> ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Width and height from a PNG's header chunk; nullopt for anything that is not a PNG.
std::optional<std::pair<int, int>> PngSize(const fs::path& p) {
  const auto b = ReadBytes(p);
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (b.size() < 24 || !std::equal(std::begin(kSignature), std::end(kSignature), b.begin())) return std::nullopt;
  auto be32 = [&](std::size_t at) {
    return int(b[at]) << 24 | int(b[at + 1]) << 16 | int(b[at + 2]) << 8 | int(b[at + 3]);
  };
  return std::make_pair(be32(16), be32(20));
}

class SnapshotCommand : public ::testing::Test {
 protected:
  SnapshotCommand() {
    // The child processes inherit a settings store of their own.
    const char* old = std::getenv("QRV_CONFIG_DIR");
    if (old) saved_ = old;
    setenv("QRV_CONFIG_DIR", config_.path().c_str(), 1);
  }
  ~SnapshotCommand() override {
    if (saved_)
      setenv("QRV_CONFIG_DIR", saved_->c_str(), 1);
    else
      unsetenv("QRV_CONFIG_DIR");
  }
  test::ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), "snapshot");
    return test::RunProcess(WARMGLOW_BINARY, args, scratch_.path());
  }
  fs::path Out(const std::string& name) const { return dir_ / name; }

  test::TempDir dir_, scratch_, config_;
  std::optional<std::string> saved_;
};

TEST_F(SnapshotCommand, DrawsTheWindowAtItsPixelSizeForTheZoom) {
  const std::pair<const char*, std::pair<int, int>> cases[] = {
      {nullptr, {400, 353}}, {"100", {400, 353}}, {"200", {800, 706}}, {"70", {280, 247}}, {"400", {1600, 1412}}};
  for (const auto& [zoom, size] : cases) {
    const fs::path out = Out(std::string("w") + (zoom ? zoom : "default") + ".png");
    std::vector<std::string> args = {out.string()};
    if (zoom) args.insert(args.end(), {"--zoom", zoom});
    const auto r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(PngSize(out), size) << (zoom ? zoom : "default");
    EXPECT_NE(r.out.find(std::to_string(size.first) + " x " + std::to_string(size.second)), std::string::npos) << r.out;
  }
}

TEST_F(SnapshotCommand, TheOptionsChangeWhatThePanelShows) {
  ASSERT_EQ(Run({Out("plain.png").string()}).status, 0);
  const auto plain = ReadBytes(Out("plain.png"));
  for (const std::vector<std::string>& extra :
       {std::vector<std::string>{"--preset", "Vox"}, {"--set", "Output=1"}, {"--meter", "0.8"}, {"--show", "about"},
        {"--show", "zoom-menu"}, {"--show", "save"}}) {
    std::vector<std::string> args = {Out("other.png").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = Run(args);
    ASSERT_EQ(r.status, 0) << extra[0] << ": " << r.err;
    EXPECT_NE(ReadBytes(Out("other.png")), plain) << extra[0];
    EXPECT_EQ(PngSize(Out("other.png")), std::make_pair(400, 353));
  }
  // The zoom list and the save dialog are pictures of their own.
  ASSERT_EQ(Run({Out("menu.png").string(), "--show", "zoom-menu"}).status, 0);
  ASSERT_EQ(Run({Out("save.png").string(), "--show", "save"}).status, 0);
  EXPECT_NE(ReadBytes(Out("menu.png")), ReadBytes(Out("save.png")));
  // The same arguments draw the same picture.
  ASSERT_EQ(Run({Out("again.png").string()}).status, 0);
  EXPECT_EQ(ReadBytes(Out("again.png")), plain);
}

TEST_F(SnapshotCommand, TheBrowserGrowsTheWindowAndTheConfigurationMenuDoesNot) {
  ASSERT_EQ(Run({Out("plain.png").string()}).status, 0);
  const auto browser = Run({Out("browser.png").string(), "--show", "browser"});
  ASSERT_EQ(browser.status, 0) << browser.err;
  EXPECT_EQ(PngSize(Out("browser.png")), std::make_pair(420, 493));
  EXPECT_NE(browser.out.find("420 x 493"), std::string::npos) << browser.out;
  ASSERT_EQ(Run({Out("browser200.png").string(), "--show", "browser", "--zoom", "200"}).status, 0);
  EXPECT_EQ(PngSize(Out("browser200.png")), std::make_pair(840, 986));
  ASSERT_EQ(Run({Out("config.png").string(), "--show", "config"}).status, 0);
  EXPECT_EQ(PngSize(Out("config.png")), std::make_pair(400, 353));
  EXPECT_NE(ReadBytes(Out("config.png")), ReadBytes(Out("plain.png")));
  // Another preset selected is another picture of the browser.
  ASSERT_EQ(Run({Out("browser-vox.png").string(), "--show", "browser", "--preset", "Vox"}).status, 0);
  EXPECT_NE(ReadBytes(Out("browser-vox.png")), ReadBytes(Out("browser.png")));
}

TEST_F(SnapshotCommand, AnAreaIsTheBarsStripOrThePanelBelowIt) {
  const std::pair<std::vector<std::string>, std::pair<int, int>> cases[] = {
      {{"--area", "window"}, {400, 353}},         {{"--area", "bar"}, {400, 78}},
      {{"--area", "panel"}, {400, 275}},          {{"--area", "bar", "--zoom", "200"}, {800, 156}},
      {{"--area", "panel", "--zoom", "200"}, {800, 550}}};
  for (const auto& [extra, size] : cases) {
    std::vector<std::string> args = {Out("area.png").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(PngSize(Out("area.png")), size) << extra[1];
  }
  // The needle lies in the panel: it changes the panel's picture, never the bar's.
  for (const char* meter : {"0", "0.8"}) {
    ASSERT_EQ(Run({Out(std::string("bar") + meter + ".png").string(), "--area", "bar", "--meter", meter}).status, 0);
    ASSERT_EQ(Run({Out(std::string("panel") + meter + ".png").string(), "--area", "panel", "--meter", meter}).status,
              0);
  }
  EXPECT_EQ(ReadBytes(Out("bar0.png")), ReadBytes(Out("bar0.8.png")));
  EXPECT_NE(ReadBytes(Out("panel0.png")), ReadBytes(Out("panel0.8.png")));
  // The preset's name lies in the bar.
  ASSERT_EQ(Run({Out("bar-vox.png").string(), "--area", "bar", "--preset", "Vox"}).status, 0);
  EXPECT_NE(ReadBytes(Out("bar-vox.png")), ReadBytes(Out("bar0.png")));
  const auto bad = Run({Out("bad.png").string(), "--area", "knobs"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_FALSE(fs::exists(Out("bad.png")));
}

TEST_F(SnapshotCommand, BadArgumentsExitWith2AndWriteNothing) {
  const std::vector<std::vector<std::string>> bad = {
      {"--zoom", "69"},    {"--zoom", "401"},   {"--zoom", "150%"}, {"--zoom", "1e2"},
      {"--meter", "1.5"},  {"--meter", "-0.1"}, {"--show", "bar"},  {"--preset", "No Such Preset"},
      {"--set", "Gain=1"}, {"--set", "Time=2"}};
  for (const auto& extra : bad) {
    std::vector<std::string> args = {Out("bad.png").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = Run(args);
    EXPECT_EQ(r.status, 2) << extra[0] << " " << extra[1];
    EXPECT_EQ(r.err.rfind("warmglow: error: ", 0), 0u) << r.err;
    EXPECT_FALSE(fs::exists(Out("bad.png"))) << extra[0] << " " << extra[1];
  }
  EXPECT_EQ(Run({}).status, 2);
  // An existing file is not damaged by a failing run.
  ASSERT_EQ(Run({Out("keep.png").string()}).status, 0);
  const auto kept = ReadBytes(Out("keep.png"));
  EXPECT_EQ(Run({Out("keep.png").string(), "--zoom", "5"}).status, 2);
  EXPECT_EQ(ReadBytes(Out("keep.png")), kept);
}

TEST_F(SnapshotCommand, TheStoredZoomIsIgnoredAndTheStoreNeverWritten) {
  // Nothing stored: nothing appears.
  ASSERT_EQ(Run({Out("a.png").string()}).status, 0);
  EXPECT_TRUE(fs::is_empty(config_.path()));

  // A stored zoom of 250 % and hints off: the snapshot is still 100 % and the file is untouched.
  {
    platform::FileRegistry registry(config_ / "settings.reg");
    platform::Services s;
    s.registry = &registry;
    platform::ScopedServices scoped(s);
    ASSERT_TRUE(settings::SaveZoom(250));
    settings::SetProcessHints(0);
    ASSERT_TRUE(settings::SaveHints());
  }
  auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(config_.path())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  const auto files = listing();
  const auto before = ReadBytes(config_ / "settings.reg");
  const auto stamp = fs::last_write_time(config_ / "settings.reg");
  const auto r = Run({Out("b.png").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(PngSize(Out("b.png")), std::make_pair(400, 353));
  EXPECT_EQ(ReadBytes(config_ / "settings.reg"), before);
  EXPECT_EQ(fs::last_write_time(config_ / "settings.reg"), stamp);
  EXPECT_EQ(listing(), files);
}

}  // namespace
}  // namespace qrv
