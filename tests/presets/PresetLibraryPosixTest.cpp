// The preset library where it meets Linux: a FIFO named like a preset.
#include <gtest/gtest.h>

#include "presets/PresetLibrary.h"
#include "tests/presets/PresetTestSupport.h"
#include "tests/support/Fifo.h"

namespace qrv {
namespace {

using test::MakeRecord;

class PresetLibraryTest : public test::PresetFixture {};

// A FIFO named like a preset is listed (the scan does not open files) but never waited on: choosing it
// fails as a broken file does, and the reader says it is not a file.
TEST_F(PresetLibraryTest, AFifoNamedLikeAPresetIsRefusedWithoutWaiting) {
  const auto fifo = UserFolder() / "Pipe.qrv";
  ASSERT_TRUE(CreateUserPresetFolder(UserFolder().string()));
  ASSERT_TRUE(test::MakeFifo(fifo));
  PresetLibrary lib(UserFolder().string());
  ASSERT_EQ(lib.ItemCount(kBankUser, 0), 1);
  const PresetRecord before = MakeRecord("keep", 0.4f);
  PresetRecord r = before;
  bool loaded = true;
  EXPECT_TRUE(test::ReturnsWithoutWaitingOn(fifo, [&] { loaded = lib.LoadPosition(kBankUser, 0, 0, r); }));
  EXPECT_FALSE(loaded);
  EXPECT_EQ(r.Name(), "error loading preset");
  EXPECT_TRUE(r.SameValues(before));

  PresetFileContents contents;
  EXPECT_TRUE(test::ReturnsWithoutWaitingOn(fifo, [&] { contents = LoadPresetFile(fifo); }));
  EXPECT_EQ(contents.status, BlobStatus::NotAFile);
  EXPECT_STREQ(DescribeBlobStatus(contents.status), "not a regular file");
  EXPECT_EQ(LoadPresetFile(UserFolder()).status, BlobStatus::NotAFile);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

}  // namespace
}  // namespace qrv
