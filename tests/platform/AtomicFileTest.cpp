// Temporary files of a writer that was killed between creating and renaming them: the next write into the
// folder removes them, but only files of the writer's own pattern, and never one a live writer still holds.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "tests/support/TempDir.h"

namespace qrv::platform {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// A process that makes a temporary file of the pattern as a writer does (created, then locked) and
// stays in the middle of its write until it is killed or told to go.
class Writer {
 public:
  Writer(const fs::path& folder, const TempFileName& temp) {
    int ready[2], go[2];
    if (pipe(ready) != 0 || pipe(go) != 0) return;
    std::string name = (folder / (temp.prefix + "XXXXXX" + temp.suffix)).string();
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(go[1]);
      const int fd = mkstemps(name.data(), static_cast<int>(temp.suffix.size()));
      if (fd < 0 || flock(fd, LOCK_EX) != 0 || write(fd, "half", 4) != 4) _exit(1);
      const std::size_t n = name.size();
      if (write(ready[1], &n, sizeof n) != sizeof n || write(ready[1], name.data(), n) != static_cast<ssize_t>(n))
        _exit(1);
      char c;
      while (read(go[0], &c, 1) < 0) {
      }
      _exit(0);
    }
    close(ready[1]);
    close(go[0]);
    go_ = go[1];
    std::size_t n = 0;
    if (read(ready[0], &n, sizeof n) == sizeof n && n < 4096) {
      file_.resize(n);
      if (read(ready[0], file_.data(), n) != static_cast<ssize_t>(n)) file_.clear();
    }
    close(ready[0]);
  }
  ~Writer() {
    if (go_ >= 0) close(go_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  void Kill() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  fs::path file() const { return file_; }

 private:
  pid_t pid_ = -1;
  int go_ = -1;
  std::string file_;
};

TEST(AtomicFile, AWriteRemovesAKilledWritersTemporaryFileAndKeepsEverythingElse) {
  test::TempDir dir;
  // The preset save's pattern; the settings store and the live state use the same mechanism.
  const TempFileName temp{".qrv-", ".tmp"};
  Writer killed(dir.path(), temp);
  ASSERT_FALSE(killed.file().empty());
  killed.Kill();
  ASSERT_TRUE(fs::exists(killed.file()));
  Writer live(dir.path(), temp);
  ASSERT_FALSE(live.file().empty());
  // Files that are not ours, or not of this pattern, however close.
  const std::vector<std::string> others = {"Warm.qrv", ".qrv-abc12.tmp", ".qrv-abc1234.tmp", ".qrv-abc123.tmp.bak",
                                           "qrv-abc123.tmp", ".qrv-ab_123.tmp", ".settings.reg.writing-abc123.tmp"};
  for (const std::string& name : others) WriteText(dir / name, "user data: " + name);
  WriteText(dir / "target", "the link's target");
  fs::create_symlink(dir / "target", dir / ".qrv-LINKED.tmp");
  fs::create_directory(dir / ".qrv-FOLDER.tmp");

  const std::string bytes = "new preset";
  ASSERT_TRUE(WriteFileAtomically(dir / "Vocal.qrv", std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                                  temp));
  EXPECT_EQ(ReadText(dir / "Vocal.qrv"), bytes);
  EXPECT_FALSE(fs::exists(killed.file())) << "a killed writer's temporary file was left";
  EXPECT_EQ(ReadText(live.file()), "half") << "a live writer's temporary file was removed";
  for (const std::string& name : others) EXPECT_EQ(ReadText(dir / name), "user data: " + name) << name;
  EXPECT_TRUE(fs::is_symlink(dir / ".qrv-LINKED.tmp"));
  EXPECT_EQ(ReadText(dir / "target"), "the link's target");
  EXPECT_TRUE(fs::is_directory(dir / ".qrv-FOLDER.tmp"));
  // Nothing of the write itself is left.
  std::vector<std::string> entries;
  for (const auto& e : fs::directory_iterator(dir.path())) entries.push_back(e.path().filename().string());
  EXPECT_EQ(entries.size(), others.size() + 5) << ::testing::PrintToString(entries);
}

// A writer never loses its file to the clean-up of another writer of the same folder, however they
// interleave: each of many concurrent writes lands, and no temporary file is left.
TEST(AtomicFile, ConcurrentWritersInOneFolderAllSucceed) {
  test::TempDir dir;
  const TempFileName temp{".qrv-", ".tmp"};
  constexpr int kWriters = 4, kWrites = 50;
  std::vector<pid_t> pids;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (int i = 0; i < kWrites; ++i) {
        const std::string bytes = std::to_string(w) + ":" + std::to_string(i);
        if (!WriteFileAtomically(dir / ("w" + std::to_string(w) + ".qrv"),
                                 std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), temp))
          _exit(1);
      }
      _exit(0);
    }
    pids.push_back(pid);
  }
  for (const pid_t pid : pids) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write failed";
  }
  for (int w = 0; w < kWriters; ++w)
    EXPECT_EQ(ReadText(dir / ("w" + std::to_string(w) + ".qrv")), std::to_string(w) + ":" + std::to_string(kWrites - 1));
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_FALSE(temp.Matches(e.path().filename().string())) << e.path();
}

}  // namespace
}  // namespace qrv::platform
