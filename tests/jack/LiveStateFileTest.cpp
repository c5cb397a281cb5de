// Where `warmglow live` keeps its state, checked at start so that a session never ends with its state lost:
// a state that could not be written, or no settings folder at all, is refused before anything starts, and
// a long state name is written through a short temporary name.
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/jack/LiveFixture.h"
#include "tests/support/IsolatedRun.h"

namespace qrv::jack::test {
namespace {

using qrv::test::kUserWithoutHome;
using qrv::test::Lines;

// The scratch user's folders are set for the whole binary by LiveProcessTest.cpp.

bool OneErrorLine(const qrv::test::ProcessResult& r) {
  const auto lines = Lines(r.err);
  return lines.size() == 1 && lines[0].starts_with("warmglow: error: ");
}

TEST_F(LiveFixture, ALongStateNameIsSavedThroughAShortTemporaryName) {
  TestClient probe("probe", 1);
  ASSERT_TRUE(probe.ok());
  // The longest name the folder takes: a temporary name built from it would not fit.
  const auto state = dir_ / (std::string(249, 's') + ".state");
  ASSERT_EQ(state.filename().string().size(), 255u);
  auto live = Start({"--no-editor", "--state", state.string(), "--set", "Output=0.6"});
  ASSERT_TRUE(WaitFor([&] { return HasPort(probe.get(), "warmGlow:out_2"); }));
  live->Signal(SIGTERM);
  const auto r = live->Wait();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  const auto slots = ReadSlots(state);
  ASSERT_TRUE(slots) << "the state was not saved";
  EXPECT_NEAR(slots->a, 0.6, 1e-6);
  EXPECT_EQ(qrv::test::FolderEntries(dir_.path()), std::vector<std::string>{state.filename().string()});
}

// The live command run by a user the password database does not know, without HOME, as a service would
// start it. The private server is opened to that user's group.
class LiveWithoutHome : public LiveFixture {
 protected:
  void SetUp() override {
    ASSERT_TRUE(qrv::test::HasNoPasswordEntry(kUserWithoutHome));
    setenv("JACK_PROMISCUOUS_SERVER", std::to_string(kUserWithoutHome).c_str(), 1);
    LiveFixture::SetUp();
    for (const auto* dir : {&cwd_, &open_}) ASSERT_EQ(::chmod(dir->path().c_str(), 0777), 0);
  }
  void TearDown() override {
    LiveFixture::TearDown();
    unsetenv("JACK_PROMISCUOUS_SERVER");
    // The user's own JACK folder.
    std::error_code ec;
    std::filesystem::remove_all("/dev/shm/jack_db-" + std::to_string(kUserWithoutHome), ec);
  }
  std::unique_ptr<qrv::test::IsolatedProcess> StartAsUser(std::vector<std::string> args) {
    args.insert(args.begin(), "live");
    const qrv::test::IsolatedRun how{{"PATH=/usr/bin:/bin", "JACK_DEFAULT_SERVER=" + server_->name(),
                                      "JACK_PROMISCUOUS_SERVER=" + std::to_string(kUserWithoutHome)},
                                     cwd_.path(),
                                     kUserWithoutHome,
                                     scratch_ / ("user-" + std::to_string(++children_))};
    return std::make_unique<qrv::test::IsolatedProcess>(QRV_WARMGLOW, args, how);
  }

  qrv::test::TempDir cwd_, open_;
};

TEST_F(LiveWithoutHome, RunsWithAStateItCanWriteAndLeavesTheWorkingFolderAlone) {
  TestClient probe("probe", 1);
  ASSERT_TRUE(probe.ok());
  const auto state = open_ / "s.state";
  auto live = StartAsUser({"--no-editor", "--state", state.string()});
  ASSERT_TRUE(WaitFor([&] { return HasPort(probe.get(), "warmGlow:out_2"); }));
  live->Signal(SIGTERM);
  const auto r = live->Wait();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(ReadSlots(state));
  EXPECT_EQ(qrv::test::FolderEntries(cwd_.path()), std::vector<std::string>{});
}

TEST_F(LiveWithoutHome, RefusesAtStartWithoutASettingsFolderForItsState) {
  const auto r = StartAsUser({"--no-editor"})->Wait();
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_TRUE(OneErrorLine(r)) << r.err;
  EXPECT_NE(r.err.find("no settings folder"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--state"), std::string::npos) << r.err;
  EXPECT_EQ(qrv::test::FolderEntries(cwd_.path()), std::vector<std::string>{});
}

TEST_F(LiveWithoutHome, RefusesAtStartAStateItCouldNotWrite) {
  // The test's own folder: not the user's to write.
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  const auto state = dir_ / "s.state";
  const auto r = StartAsUser({"--no-editor", "--state", state.string()})->Wait();
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_TRUE(OneErrorLine(r)) << r.err;
  EXPECT_NE(r.err.find("s.state"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("not writable"), std::string::npos) << r.err;
  EXPECT_EQ(qrv::test::FolderEntries(dir_.path()), std::vector<std::string>{});
  EXPECT_EQ(qrv::test::FolderEntries(cwd_.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace qrv::jack::test
