// Replacing a file on Windows: a writer killed half-way (this program re-run as the writer, stopped by
// the writer's half-way hook and killed with TerminateProcess) leaves the old file whole, and its
// temporary file is taken away by the next writer but never from a live one.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/PathText.h"
#include "tests/platform/WindowsTestSupport.h"
#include "tests/support/TempDir.h"

namespace qrv::platform {
namespace {

namespace fs = std::filesystem;

const TempFileName kPresetTemp{".qrv-", ".tmp"};
constexpr std::size_t kBig = 4u << 20;

// The writer's role: writes kBig bytes of 'n' over the file named by the argument, and stops for good
// once half of them are in its temporary file.
const bool g_writerRole = test::RegisterRole("write-and-stop-halfway", [](const std::string& target) {
  SetPartialWriteHook([](const fs::path&) {
    test::SignalParent();
    ::Sleep(INFINITE);
  });
  const std::vector<uint8_t> bytes(kBig, 'n');
  WriteFileAtomically(PathFromUtf8(target), bytes, kPresetTemp);
});

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<fs::path> TempFiles(const fs::path& folder) {
  std::vector<fs::path> out;
  for (const auto& e : fs::directory_iterator(folder))
    if (kPresetTemp.Matches(Utf8FromPath(e.path().filename()))) out.push_back(e.path());
  return out;
}

class WindowsAtomicFileTest : public testing::Test {
 protected:
  WindowsAtomicFileTest() {
    // A folder and a file with characters of no ANSI code page.
    folder = dir.path() / L"Ördner \u97F3";
    fs::create_directories(folder);
    target = folder / L"Gr\u00F6\u00DFe \u2013 \u97F3.qrv";
    std::ofstream(target, std::ios::binary) << "the old preset";
  }
  test::TempDir dir;
  fs::path folder, target;
};

TEST_F(WindowsAtomicFileTest, AWriterKilledHalfwayLeavesTheOldFileAndTheNextWriteTidiesUp) {
  ASSERT_TRUE(g_writerRole);
  test::RoleProcess writer("write-and-stop-halfway", Utf8FromPath(target));
  ASSERT_TRUE(writer.started());
  ASSERT_TRUE(writer.WaitForSignal(120000)) << "the writer never got half-way";
  // Half of the new bytes are on disk, in a temporary file beside the target.
  const auto temps = TempFiles(folder);
  ASSERT_EQ(temps.size(), 1u);
  EXPECT_EQ(fs::file_size(temps[0]), kBig / 2);
  EXPECT_EQ(ReadText(target), "the old preset");
  writer.Kill();

  EXPECT_EQ(ReadText(target), "the old preset");
  EXPECT_EQ(TempFiles(folder).size(), 1u);
  const std::string fresh = "the new preset";
  ASSERT_TRUE(WriteFileAtomically(target, std::span(reinterpret_cast<const uint8_t*>(fresh.data()), fresh.size()),
                                  kPresetTemp));
  EXPECT_EQ(ReadText(target), fresh);
  EXPECT_TRUE(TempFiles(folder).empty());
}

TEST_F(WindowsAtomicFileTest, ALiveWritersTemporaryFileIsLeftAlone) {
  test::RoleProcess writer("write-and-stop-halfway", Utf8FromPath(target));
  ASSERT_TRUE(writer.WaitForSignal(120000));
  EXPECT_EQ(RemoveStaleTempFiles(folder, kPresetTemp), 0);
  EXPECT_EQ(TempFiles(folder).size(), 1u);
  writer.Kill();
  EXPECT_EQ(RemoveStaleTempFiles(folder, kPresetTemp), 1);
  EXPECT_TRUE(TempFiles(folder).empty());
  EXPECT_EQ(ReadText(target), "the old preset");
}

// Windows replaces no file another program holds open: the write fails, says why, and leaves the old
// file and no temporary file; once the reader is done, it succeeds.
TEST_F(WindowsAtomicFileTest, AFileHeldOpenIsNotReplacedUntilItIsClosed) {
  FileStatus status = FileStatus::CannotOpen;
  const int fd = OpenRegularFile(target, &status);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(status, FileStatus::Ok);
  const std::string fresh(1000, 'x');
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(fresh.data()), fresh.size());
  int error = 0;
  if (!WriteFileAtomically(target, bytes, kPresetTemp, &error)) {
    EXPECT_EQ(error, EACCES);
    EXPECT_EQ(ReadText(target), "the old preset");
  }
  EXPECT_TRUE(TempFiles(folder).empty());
  // The reader reads the file it opened, whole.
  char buf[32] = {};
  EXPECT_EQ(::_read(fd, buf, sizeof buf - 1), 14);
  EXPECT_STREQ(buf, "the old preset");
  ::_close(fd);
  ASSERT_TRUE(WriteFileAtomically(target, bytes, kPresetTemp, &error));
  EXPECT_EQ(error, 0);
  EXPECT_EQ(ReadText(target), fresh);
  EXPECT_TRUE(TempFiles(folder).empty());

  // A new file, and the default temporary name.
  const fs::path other = folder / L"\u00DCn\u00EFc\u00F6d\u00E9.qrv";
  EXPECT_TRUE(WriteFileAtomically(other, bytes.first(10)));
  const auto read = ReadWholeFile(other);
  ASSERT_TRUE(read);
  EXPECT_EQ(std::string(read->begin(), read->end()), fresh.substr(0, 10));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

TEST_F(WindowsAtomicFileTest, ReadsOnlyFilesAndWithinTheirLimit) {
  FileStatus status = FileStatus::Ok;
  EXPECT_FALSE(ReadWholeFile(folder, 1000, &status));
  EXPECT_EQ(status, FileStatus::NotRegularFile);
  EXPECT_FALSE(ReadWholeFile(folder / L"missing.qrv", 1000, &status));
  EXPECT_EQ(status, FileStatus::CannotOpen);
  EXPECT_FALSE(ReadWholeFile(target, 5, &status));
  EXPECT_EQ(status, FileStatus::CannotOpen);
  const auto whole = ReadWholeFile(target, 14, &status);
  ASSERT_TRUE(whole);
  EXPECT_EQ(status, FileStatus::Ok);
  EXPECT_EQ(std::string(whole->begin(), whole->end()), "the old preset");
  // A folder where the file belongs is not replaced, nor anything in it.
  int error = 0;
  EXPECT_FALSE(WriteFileAtomically(folder, std::span<const uint8_t>(), kPresetTemp, &error));
  EXPECT_EQ(error, EISDIR);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(ReadText(target), "the old preset");
  EXPECT_TRUE(TempFiles(dir.path()).empty());
}

}  // namespace
}  // namespace qrv::platform
