#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/Clipboard.h"
#include "platform/Registry.h"
#include "tests/support/Child.h"
#include "tests/support/Fifo.h"
#include "tests/support/TempDir.h"

namespace qrv::platform {
namespace {

constexpr std::string_view kKey = "SOFTWARE\\Quarry-tone\\QRVWG1";

std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteText(const std::filesystem::path& p, std::string_view text) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << text;
}

// The copies of unreadable settings files kept beside `file`, by content.
std::multiset<std::string> KeptCopies(const std::filesystem::path& file) {
  std::multiset<std::string> kept;
  const std::string prefix = file.filename().string() + ".corrupt-";
  for (const auto& e : std::filesystem::directory_iterator(file.parent_path()))
    if (e.path().filename().string().starts_with(prefix)) kept.insert(ReadText(e.path()));
  return kept;
}

std::vector<uint8_t> Bytes(std::size_t n, uint8_t seed) {
  std::vector<uint8_t> b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
  return b;
}

TEST(FileRegistry, WritesReadsAndRemovesThroughTheFile) {
  test::TempDir dir;
  FileRegistry reg(dir / "sub" / "settings.reg");
  EXPECT_FALSE(reg.Read(kKey, "MemoA"));
  ASSERT_TRUE(reg.Write(kKey, "MemoA", RegistryValue::Binary(Bytes(433, 5))));
  ASSERT_TRUE(reg.Write(kKey, "ManualPath", RegistryValue::String("/usr/share/doc/warmglow.pdf")));

  // A second store on the same file sees the values: nothing is cached.
  FileRegistry other(dir / "sub" / "settings.reg");
  ASSERT_TRUE(other.Read(kKey, "MemoA"));
  EXPECT_EQ(other.Read(kKey, "MemoA")->bytes, Bytes(433, 5));
  EXPECT_EQ(other.Read(kKey, "ManualPath")->text, "/usr/share/doc/warmglow.pdf");

  EXPECT_TRUE(other.Remove(kKey, "MemoA"));
  EXPECT_FALSE(reg.Read(kKey, "MemoA"));
  EXPECT_FALSE(reg.Remove(kKey, "MemoA"));
  EXPECT_TRUE(reg.Read(kKey, "ManualPath"));

  // Only the file and its lock remain: no temporary files.
  int entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir / "sub")) {
    ++entries;
    EXPECT_TRUE(e.path().filename() == "settings.reg" || e.path().filename() == "settings.reg.lock")
        << e.path();
  }
  EXPECT_EQ(entries, 2);
}

TEST(FileRegistry, UnreadableFileReadsAsNotSetAndIsKeptAsideOnTheNextWrite) {
  test::TempDir dir;
  const auto file = dir / "settings.reg";
  FileRegistry reg(file);
  ASSERT_TRUE(reg.Write(kKey, "Favorite_0", RegistryValue::Binary(Bytes(433, 1))));
  ASSERT_TRUE(reg.Write(kKey, "Favorite_1", RegistryValue::Binary(Bytes(433, 2))));

  // Truncated: the first half of a good file.
  const std::string good = ReadText(file);
  const std::string truncated = good.substr(0, good.size() / 2);
  WriteText(file, truncated);
  EXPECT_FALSE(reg.Read(kKey, "Favorite_0"));

  ASSERT_TRUE(reg.Write(kKey, "Favorite_2", RegistryValue::Binary(Bytes(50, 3))));
  EXPECT_EQ(KeptCopies(file), std::multiset<std::string>{truncated});
  EXPECT_TRUE(reg.Read(kKey, "Favorite_2"));
  EXPECT_FALSE(reg.Read(kKey, "Favorite_0"));

  // Garbage: a second unreadable file does not replace the first one kept aside.
  WriteText(file, "\x01\x02 not a settings file");
  EXPECT_FALSE(reg.Read(kKey, "Favorite_2"));
  ASSERT_TRUE(reg.Write(kKey, "MemoA", RegistryValue::Binary(Bytes(41, 4))));
  EXPECT_EQ(KeptCopies(file), (std::multiset<std::string>{truncated, "\x01\x02 not a settings file"}));
  EXPECT_TRUE(reg.Read(kKey, "MemoA"));
}

// However many copies are kept already, under whatever names, a new one never replaces any of them.
TEST(FileRegistry, AKeptCopyIsNeverOverwritten) {
  test::TempDir dir;
  const auto file = dir / "settings.reg";
  // The names earlier versions kept copies under, all 1000 of them taken.
  WriteText(dir / "settings.reg.corrupt", "copy 0");
  for (int n = 1; n < 1000; ++n) WriteText(dir / ("settings.reg.corrupt." + std::to_string(n)), "copy " + std::to_string(n));
  FileRegistry reg(file);
  // Several damaged files within one second: each copy gets a name of its own.
  std::multiset<std::string> expected;
  for (int i = 0; i < 4; ++i) {
    const std::string damaged = "damaged " + std::to_string(i);
    WriteText(file, damaged);
    ASSERT_TRUE(reg.Write(kKey, "MemoA", RegistryValue::Binary(Bytes(41, static_cast<uint8_t>(i)))));
    expected.insert(damaged);
    EXPECT_EQ(reg.Read(kKey, "MemoA")->bytes, Bytes(41, static_cast<uint8_t>(i)));
  }
  EXPECT_EQ(KeptCopies(file), expected);
  EXPECT_EQ(ReadText(dir / "settings.reg.corrupt"), "copy 0");
  for (int n = 1; n < 1000; ++n)
    ASSERT_EQ(ReadText(dir / ("settings.reg.corrupt." + std::to_string(n))), "copy " + std::to_string(n));
}

// When no copy can be kept (here: the folder is not writable for the user), the unreadable file stays
// where it is, nothing is stored, and the store says why.
TEST(FileRegistry, AnUnreadableFileThatCannotBeKeptAsideStaysAndNothingIsStored) {
  test::TempDir dir;
  const auto folder = dir / "config";
  const auto file = folder / "settings.reg";
  std::filesystem::create_directory(folder);
  WriteText(file, "damaged");
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_exec |
                                               std::filesystem::perms::others_exec);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all | std::filesystem::perms::others_read |
                                           std::filesystem::perms::others_exec);
  std::filesystem::permissions(file, std::filesystem::perms::owner_all | std::filesystem::perms::others_all);
  // The lock file is the one thing the store may create: made beforehand, as a writable file.
  WriteText(folder / "settings.reg.lock", "");
  std::filesystem::permissions(folder / "settings.reg.lock", std::filesystem::perms::all);
  const test::ChildResult r = test::RunInChild({.unprivileged = true}, [&] {
    FileRegistry reg(file);
    if (reg.Write(kKey, "MemoA", RegistryValue::Binary(Bytes(41, 1)))) return 1;
    std::fputs(reg.LastFailure().c_str(), stderr);
    return 0;
  });
  ASSERT_TRUE(r.exited);
  EXPECT_EQ(r.code, 0) << r.report;
  EXPECT_NE(r.report.find("no copy of it could be kept aside"), std::string::npos) << r.report;
  EXPECT_NE(r.report.find(file.string()), std::string::npos) << r.report;
  EXPECT_EQ(ReadText(file), "damaged");
  EXPECT_TRUE(KeptCopies(file).empty());
}

// The clean-up after a dead writer removes the store's own leftovers, never a user's file that merely
// shares the settings file's name.
TEST(FileRegistry, WritesRemoveOnlyTheirOwnLeftoversAndNoUserFile) {
  test::TempDir dir;
  const auto file = dir / "settings.reg";
  const std::vector<std::string> userFiles = {"settings.reg.backup",  "settings.reg.old-01", "settings.reg.ABC123",
                                              "settings.reg.tmp",     "settings.reg.lock2",  ".settings.reg.swp",
                                              "settings.reg.corrupt", "settings.reg.XXXXXX.tmp"};
  for (const std::string& name : userFiles) WriteText(dir / name, "user data: " + name);
  // What a writer killed between creating and renaming its temporary file leaves.
  const TempFileName temp = RegistryTempFileName(file);
  std::string leftover = (dir / (temp.prefix + "XXXXXX" + temp.suffix)).string();
  const int fd = mkstemps(leftover.data(), static_cast<int>(temp.suffix.size()));
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_TRUE(temp.Matches(std::filesystem::path(leftover).filename().string()));

  FileRegistry reg(file);
  auto userFilesIntact = [&](const char* step) {
    for (const std::string& name : userFiles)
      EXPECT_EQ(ReadText(dir / name), "user data: " + name) << name << " after " << step;
  };
  ASSERT_TRUE(reg.Write(kKey, "MemoA", RegistryValue::Binary(Bytes(433, 5))));
  userFilesIntact("the first write");
  EXPECT_FALSE(std::filesystem::exists(leftover));
  ASSERT_TRUE(reg.Write("SOFTWARE\\Quarry-tone\\QRVWGME1", "QRVWG1: 59", RegistryValue::Binary({0, 0, 0x80, 0x3e})));
  userFilesIntact("the zoom write");
  ASSERT_TRUE(reg.Remove(kKey, "MemoA"));
  userFilesIntact("a removal");
  // A damaged settings file is moved aside beside the user's files, not over them.
  WriteText(file, "damaged");
  ASSERT_TRUE(reg.Write(kKey, "MemoA", RegistryValue::Binary(Bytes(41, 1))));
  userFilesIntact("moving a damaged file aside");
  EXPECT_EQ(KeptCopies(file), std::multiset<std::string>{"damaged"});
  EXPECT_EQ(reg.Read(kKey, "MemoA")->bytes, Bytes(41, 1));
}

// Nothing may wait on a FIFO where the settings file belongs: reads find nothing set, writes store nothing
// and leave the FIFO where it is.
TEST(FileRegistry, AFifoWhereTheFileBelongsReadsAsNotSetAndBlocksNoWriter) {
  test::TempDir dir;
  const auto file = dir / "settings.reg";
  ASSERT_TRUE(test::MakeFifo(file));
  FileRegistry reg(file);
  std::optional<RegistryValue> read;
  bool written = true, removed = true;
  EXPECT_TRUE(test::ReturnsWithoutWaitingOn(file, [&] { read = reg.Read(kKey, "MemoA"); }));
  EXPECT_FALSE(read);
  EXPECT_TRUE(test::ReturnsWithoutWaitingOn(
      file, [&] { written = reg.Write(kKey, "MemoA", RegistryValue::Binary(Bytes(433, 5))); }));
  EXPECT_FALSE(written);
  EXPECT_TRUE(test::ReturnsWithoutWaitingOn(file, [&] { removed = reg.Remove(kKey, "MemoA"); }));
  EXPECT_FALSE(removed);
  EXPECT_TRUE(std::filesystem::is_fifo(file));
  EXPECT_TRUE(KeptCopies(file).empty());

  // The plain file reader refuses it and says why.
  FileStatus status = FileStatus::Ok;
  EXPECT_TRUE(test::ReturnsWithoutWaitingOn(file, [&] { EXPECT_FALSE(ReadWholeFile(file, 1024, &status)); }));
  EXPECT_EQ(status, FileStatus::NotRegularFile);
  EXPECT_EQ(OpenRegularFile(dir.path(), &status), -1);
  EXPECT_EQ(status, FileStatus::NotRegularFile);
  EXPECT_EQ(OpenRegularFile(dir / "missing", &status), -1);
  EXPECT_EQ(status, FileStatus::CannotOpen);
}

TEST(FileRegistry, TwoProcessesWritingAtOnceKeepEachOthersValues) {
  test::TempDir dir;
  const auto file = dir / "settings.reg";
  constexpr int kValues = 40;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      FileRegistry reg(file);
      bool ok = true;
      for (int i = 0; i < kValues; ++i) {
        const std::string name = (c == 0 ? "A_" : "B_") + std::to_string(i);
        ok = reg.Write(kKey, name, RegistryValue::Number(static_cast<uint32_t>(c * 1000 + i))) && ok;
      }
      _exit(ok ? 0 : 1);
    }
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  FileRegistry reg(file);
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kValues; ++i) {
      const auto v = reg.Read(kKey, (c == 0 ? "A_" : "B_") + std::to_string(i));
      ASSERT_TRUE(v) << c << " " << i;
      EXPECT_EQ(v->number, static_cast<uint32_t>(c * 1000 + i));
    }
  }
}

TEST(FileRegistry, AKilledWriterNeverLeavesAHalfWrittenFile) {
  test::TempDir dir;
  const auto file = dir / "settings.reg";
  {
    FileRegistry reg(file);
    ASSERT_TRUE(reg.Write(kKey, "Keep", RegistryValue::String("kept")));
  }
  for (int round = 0; round < 12; ++round) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(ready[0]);
      FileRegistry reg(file);
      // Large values make each write long enough to be interrupted part-way.
      for (uint32_t i = 0;; ++i) {
        reg.Write(kKey, "Big", RegistryValue::Binary(Bytes(200000, static_cast<uint8_t>(i))));
        if (i == 0) {
          const char c = 1;
          (void)!write(ready[1], &c, 1);
        }
      }
    }
    close(ready[1]);
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    usleep(static_cast<useconds_t>(round * 1500));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);

    const auto bytes = ReadWholeFile(file);
    ASSERT_TRUE(bytes);
    const auto doc = ParseRegFile(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    ASSERT_TRUE(doc) << "round " << round;
    FileRegistry reg(file);
    EXPECT_EQ(reg.Read(kKey, "Keep")->text, "kept");
    EXPECT_EQ(reg.Read(kKey, "Big")->bytes.size(), 200000u);
  }
  // The next writer clears what a killed one left behind.
  FileRegistry reg(file);
  ASSERT_TRUE(reg.Write(kKey, "After", RegistryValue::Number(1)));
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
    const std::string name = e.path().filename().string();
    EXPECT_TRUE(name == "settings.reg" || name == "settings.reg.lock") << name;
  }
}

}  // namespace
}  // namespace qrv::platform
