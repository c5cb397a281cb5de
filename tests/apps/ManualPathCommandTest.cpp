// 'warmglow manual-path' as `make install` and `make uninstall` run it: the manual's path in a settings
// store of the test's own, stored, shown and removed only while it names the given file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "platform/Registry.h"
#include "presets/SettingsStore.h"
#include "tests/support/RunProcess.h"
#include "tests/support/Fifo.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;

class ManualPathCommand : public ::testing::Test {
 protected:
  test::ProcessResult Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"-C", dir_.path().string(), "QRV_CONFIG_DIR=" + config_.path().string(),
                                     WARMGLOW_BINARY, "manual-path"};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::RunProcess("/usr/bin/env", argv, dir_.path());
  }
  std::optional<platform::RegistryValue> Stored() {
    return platform::FileRegistry(config_ / "settings.reg").Read(settings::kPresetKey, settings::kManualPathValue);
  }
  test::TempDir dir_, config_;
};

TEST_F(ManualPathCommand, StoresShowsAndRemovesThePathOfAnExistingFile) {
  auto r = Run({"--settings-file"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, (config_ / "settings.reg").string() + "\n");
  r = Run({});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(config_ / "settings.reg"));  // reading creates nothing

  std::ofstream(dir_ / "index.html") << "<p>manual</p>";
  // A relative name is stored as the absolute path the plug-ins can open from anywhere.
  r = Run({"--set", "./sub/../index.html"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string manual = (dir_ / "index.html").string();
  ASSERT_TRUE(Stored());
  EXPECT_EQ(Stored()->text, manual);
  EXPECT_EQ(Run({}).out, manual + "\n");

  // Another installation's manual is not this one's to remove.
  r = Run({"--unset-if", "/opt/qrv/share/doc/qrv-warmglow/index.html"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("kept"), std::string::npos) << r.out;
  EXPECT_EQ(Stored()->text, manual);
  r = Run({"--unset-if", manual});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("removed"), std::string::npos) << r.out;
  EXPECT_FALSE(Stored());
}

TEST_F(ManualPathCommand, RefusesWhatCannotBeAManualAndKeepsTheStoredPath) {
  std::ofstream(dir_ / "index.html") << "<p>manual</p>";
  ASSERT_EQ(Run({"--set", (dir_ / "index.html").string()}).status, 0);
  fs::create_directory(dir_ / "folder");
  ASSERT_TRUE(test::MakeFifo(dir_ / "fifo"));
  // A real file whose path is longer than the settings keep.
  fs::path deep = dir_.path();
  for (int i = 0; i < 5; ++i) deep /= std::string(240, static_cast<char>('a' + i));
  fs::create_directories(deep);
  std::ofstream(deep / "index.html") << "<p>manual</p>";
  ASSERT_GT((deep / "index.html").string().size(), 1024u);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--set", (dir_ / "missing.html").string()},
        {"--set", (dir_ / "folder").string()},
        {"--set", (dir_ / "fifo").string()},
        {"--set", (deep / "index.html").string()},
        {"--set", (dir_ / "index.html").string(), "--unset-if", (dir_ / "index.html").string()},
        {"--set"},
        {"--nothing"}}) {
    const auto r = Run(args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_EQ(r.err.rfind("warmglow: error: ", 0), 0u) << r.err;
    if (args.size() == 2 && args[1].size() > 1024) {
      EXPECT_NE(r.err.find("longer"), std::string::npos) << r.err;
    }
  }
  EXPECT_EQ(Stored()->text, (dir_ / "index.html").string());
}

}  // namespace
}  // namespace qrv
