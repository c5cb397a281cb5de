// Process allocates nothing. The module carries its own C++ runtime, whose operator new the test
// support's counter cannot see; the malloc counter sees the module's calls too. Sanitized builds bring
// their own malloc; the check runs in the others. Not built for Windows: a DLL calls msvcrt.dll's malloc
// directly, which no program can count.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__) && !defined(_WIN32)

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <thread>
#include <vector>

#include "tests/clap/ClapTestHost.h"
#include "tests/support/MallocCounter.h"

namespace qrv::clap::test {
namespace {

TEST(ClapAllocations, ProcessAllocatesNothing) {
  Module module;
  Host host;
  Instance instance(module, host, "com.quarry-tone.warmglow.stereo");
  ASSERT_TRUE(instance.Activate(48000.0, 256));
  std::vector<std::vector<float>> in(2, std::vector<float>(256)), out(2, std::vector<float>(256));
  for (std::size_t i = 0; i < 256; ++i) in[0][i] = in[1][i] = 0.5f * static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
  EventList events;
  events.AddValue(10, 5, 20.0);
  events.AddValue(100, 7, 1.0);
  events.AddValue(200, 7, 0.0);
  // The first block resets the engine: it runs before counting, as a host's first block would.
  ASSERT_EQ(instance.Process(in, out, 0, 256, events), CLAP_PROCESS_CONTINUE);
  std::vector<uint8_t> state;
  ASSERT_TRUE(instance.Save(state, 4096));
  ASSERT_TRUE(instance.Load(state, 4096));  // a load between blocks: the next block applies it
  qrv::test::StartMallocCount();
  for (uint32_t block = 0; block < 64; ++block) instance.Process(in, out, 0, 256, events);
  EXPECT_EQ(qrv::test::StopMallocCount(), 0);
}

// The same counter sees the module's own allocations (its runtime's operator new), so zero above
// means zero.
TEST(ClapAllocations, TheCounterSeesTheModule) {
  Module module;
  Host host;
  qrv::test::StartMallocCount();
  Instance instance(module, host, "com.quarry-tone.warmglow.mono");
  EXPECT_GT(qrv::test::StopMallocCount(), 0);
}

}  // namespace
}  // namespace qrv::clap::test

#endif
