// `make install` after its build step: the install rules of this build tree into a temporary prefix,
// then the installed commands run without the build tree's help.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable (or removes it for nullopt) for this process and its children.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      setenv(name, value->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

class InstallTest : public ::testing::Test {
 protected:
  void Install(const fs::path& prefix) {
    for (const char* component : {"tools", "lv2"}) {
      const auto r = test::RunProcess(CMAKE_COMMAND, {"--install", QRV_BUILD_DIR, "--prefix", prefix.string(),
                                                      "--component", component},
                                      scratch_.path());
      ASSERT_EQ(r.status, 0) << r.out << r.err;
    }
  }
  // The installed commands do their work: warmglow renders, aaxhost loads the bundle installed beside it.
  void ExpectInstalledCommandsRun(const fs::path& prefix) {
    auto r = test::RunProcess((prefix / "bin" / "warmglow").string(),
                              {"generate", (work_ / "in.wav").string(), "--seconds", "0.3"}, scratch_.path());
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunProcess((prefix / "bin" / "warmglow").string(),
                         {"render", (work_ / "in.wav").string(), (work_ / "out.flac").string(), "--preset", "Vox"},
                         scratch_.path());
    EXPECT_EQ(r.status, 0) << r.err;
    r = test::RunProcess((prefix / "bin" / "aaxhost").string(), {"describe"}, scratch_.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("bundle: " + (prefix / "lib" / "qrv-warmglow" / "QRV warmGlow.aaxplugin").string()),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("effect com.quarrytone.aax.warmglow"), std::string::npos) << r.out;
  }

  test::TempDir home_, scratch_, work_;
  ScopedEnv homeEnv_{"HOME", home_.path().string()};
  ScopedEnv bundleEnv_{"QRV_AAX_BUNDLE", std::nullopt};
};

TEST_F(InstallTest, TheDefaultPrefixIsPerUserWithTheLv2BundleInDotLv2) {
  const fs::path prefix = home_ / ".local";
  Install(prefix);
  EXPECT_TRUE(fs::is_regular_file(home_ / ".lv2" / "QRV warmGlow.lv2" / "manifest.ttl"));
  EXPECT_FALSE(fs::exists(prefix / "lib" / "lv2"));
  ExpectInstalledCommandsRun(prefix);
}

TEST_F(InstallTest, AnotherPrefixTakesTheLv2BundleUnderLib) {
  test::TempDir other;
  Install(other.path());
  EXPECT_TRUE(fs::is_regular_file(other / "lib" / "lv2" / "QRV warmGlow.lv2" / "manifest.ttl"));
  EXPECT_FALSE(fs::exists(home_ / ".lv2"));
  ExpectInstalledCommandsRun(other.path());
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// `make demo` builds only the targets the demo runs (warmglow, the LV2 bundle it installs): the build
// line of its recipe names them, and nothing they need comes from the tests or benchmarks.
TEST(MakeDemo, BuildsOnlyWhatTheDemoRuns) {
  test::TempDir scratch;
  auto r = test::RunProcess(QRV_MAKE, {"-n", "-C", QRV_SOURCE_DIR, "demo"}, scratch.path());
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> targets;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    const std::vector<std::string> words = Words(line);
    if (words.size() < 2 || words[0] != "cmake" || words[1] != "--build") continue;
    const auto at = std::find(words.begin(), words.end(), "--target");
    ASSERT_NE(at, words.end()) << line;
    targets.assign(at + 1, words.end());
  }
  ASSERT_FALSE(targets.empty()) << r.out;
  EXPECT_NE(std::find(targets.begin(), targets.end(), "warmglow"), targets.end());
  EXPECT_NE(std::find(targets.begin(), targets.end(), "qrv_lv2_bundle"), targets.end());

  std::vector<std::string> args = {"-C", QRV_BUILD_DIR, "-t", "commands"};
  args.insert(args.end(), targets.begin(), targets.end());
  r = test::RunProcess(QRV_NINJA, args, scratch.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("apps/warmglow/main.cpp"), std::string::npos);
  EXPECT_EQ(r.out.find("/tests/"), std::string::npos);
  EXPECT_EQ(r.out.find("/bench/"), std::string::npos);
}

}  // namespace
}  // namespace qrv
