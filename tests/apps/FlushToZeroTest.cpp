#include "dsp/ScopedFlushToZero.h"

#include <gtest/gtest.h>

#include <limits>

namespace qrv {
namespace {

// Kept opaque to the optimiser, so that the multiplications below happen at run time.
volatile float gTiny = std::numeric_limits<float>::min();
volatile float gDenormal = std::numeric_limits<float>::denorm_min();

#if defined(__SSE__) || defined(__x86_64__)
TEST(ScopedFlushToZero, FlushesDenormalsInsideAndRestoresTheModesAfter) {
  // Compare the control bits only; the low six bits are sticky exception flags that the arithmetic sets.
  constexpr unsigned kControl = ~0x3fu;
  const unsigned before = ScopedFlushToZero::Current() & kControl;
  ASSERT_FALSE(ScopedFlushToZero::Active()) << "test runner started with flush-to-zero on";
  EXPECT_GT(gTiny * 0.5f, 0.0f);      // a denormal result survives
  EXPECT_GT(gDenormal * 1.0f, 0.0f);  // a denormal operand counts
  {
    const ScopedFlushToZero outer;
    EXPECT_TRUE(ScopedFlushToZero::Active());
    EXPECT_EQ(gTiny * 0.5f, 0.0f);      // flush to zero
    EXPECT_EQ(gDenormal * 1.0f, 0.0f);  // denormals are zero
    {
      const ScopedFlushToZero inner;
      EXPECT_TRUE(ScopedFlushToZero::Active());
    }
    EXPECT_TRUE(ScopedFlushToZero::Active());  // the inner guard restores the outer's modes
  }
  EXPECT_EQ(ScopedFlushToZero::Current() & kControl, before);
  EXPECT_GT(gTiny * 0.5f, 0.0f);
}
#endif

}  // namespace
}  // namespace qrv
