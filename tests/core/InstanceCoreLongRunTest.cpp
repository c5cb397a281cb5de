// The instance core's piece loop over a run longer than the engine counts in one call: a Linux-only
// suite, since it maps memory with memfd_create. Outside sanitized builds (see below).
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "controller/InstanceCore.h"
#include "tests/support/ScratchUser.h"

namespace qrv::test {
namespace {

// The instance core builds a preset manager, which reads the user's settings and folders: a scratch user's.
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new qrv::test::ScratchUserEnvironment(false));

constexpr double kRate = 48000.0;

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// A run of more frames than the engine counts in one call (2^31 + 64) that takes little memory: input
// and output are each a 2 MiB file mapped over and over, with the last 64 frames on a page of their own
// that only the end of the run reaches. Bypassed, the run copies the input's zeros over the output's
// marked last frames only if every piece was handed over. (Outside sanitized builds: their shadow of
// the 8 GiB ranges and their speed make it a test for the plain build.)
class AliasedRange {
 public:
  static constexpr std::size_t kBlock = std::size_t{2} << 20;

  // body bytes (a multiple of kBlock) over one small file, then one page of its own.
  explicit AliasedRange(std::size_t body) : page_(static_cast<std::size_t>(sysconf(_SC_PAGESIZE))), span_(body + page_) {
    void* range = mmap(nullptr, span_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (range == MAP_FAILED) return;
    base_ = static_cast<char*>(range);
    const int file = memfd_create("core-body", 0);
    const int tail = memfd_create("core-tail", 0);
    bool ok = file >= 0 && tail >= 0 && ftruncate(file, static_cast<off_t>(kBlock)) == 0 &&
              ftruncate(tail, static_cast<off_t>(page_)) == 0;
    for (std::size_t at = 0; ok && at < body; at += kBlock) {
      ok = mmap(base_ + at, kBlock, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED | MAP_POPULATE, file, 0) !=
           MAP_FAILED;
    }
    ok = ok && mmap(base_ + body, page_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, tail, 0) != MAP_FAILED;
    if (file >= 0) close(file);
    if (tail >= 0) close(tail);
    tail_ = ok ? reinterpret_cast<float*>(base_ + body) : nullptr;
  }
  ~AliasedRange() {
    if (base_ != nullptr) munmap(base_, span_);
  }
  AliasedRange(const AliasedRange&) = delete;
  AliasedRange& operator=(const AliasedRange&) = delete;

  bool ok() const { return tail_ != nullptr; }
  float* data() const { return reinterpret_cast<float*>(base_); }
  float* tail() const { return tail_; }

 private:
  std::size_t page_;
  std::size_t span_;
  char* base_ = nullptr;
  float* tail_ = nullptr;
};

TEST(InstanceCore, RunsLongerThanTheEngineCountsGoInPieces) {
  constexpr uint64_t kTail = 64;
  constexpr uint64_t kFramesLong = (uint64_t{1} << 31) + kTail;
  static_assert(kFramesLong <= UINT32_MAX && kFramesLong > static_cast<uint64_t>(INT32_MAX));
  constexpr std::size_t kBody = (kFramesLong - kTail) * sizeof(float);
  static_assert(kBody % AliasedRange::kBlock == 0);
  AliasedRange in(kBody), out(kBody);
  ASSERT_TRUE(in.ok());
  ASSERT_TRUE(out.ok());
  for (uint64_t i = 0; i < kTail; ++i) out.tail()[i] = 1.0f;

  InstanceCore core(1);
  ASSERT_TRUE(core.SetSampleRate(kRate));
  core.SetBypass(true);
  const float* ip[1] = {in.data()};
  float* op[1] = {out.data()};
  core.Process(ip, op, static_cast<uint32_t>(kFramesLong));
  for (uint64_t i = 0; i < kTail; ++i) ASSERT_EQ(out.tail()[i], 0.0f) << i;
}
#endif

}  // namespace
}  // namespace qrv::test
