// The inline display as a host sees it through liblilv: declared in the Turtle, found as extension
// data, pictures within the size the host allows, a picture that follows the gain reduction, and
// queue_draw called from run only when the needle moved.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "format/lv2/Lv2InlineDisplay.h"
#include "format/lv2/Lv2Uris.h"
#include "tests/lv2/LilvHost.h"

namespace qrv::lv2::test {
namespace {

constexpr double kRate = 48000.0;
constexpr uint32_t kBlock = 256;

struct QueueCounter {
  int calls = 0;
  InlineDisplayQueue queue{this, [](void* h) { ++static_cast<QueueCounter*>(h)->calls; }};
  LV2_Feature feature{kInlineDisplayQueueDrawUri, &queue};
};

const InlineDisplayInterface* Interface(Instance& instance) {
  return static_cast<const InlineDisplayInterface*>(
      lilv_instance_get_extension_data(instance.get(), kInlineDisplayInterfaceUri));
}

// Runs blocks of a 1 kHz sine at `level` (0 for silence); the sine continues across calls.
void Feed(Instance& instance, float level, int blocks, double& phase) {
  for (int b = 0; b < blocks; ++b) {
    for (uint32_t ch = 0; ch < hostcontrols::ChannelCount(instance.layout()); ++ch) {
      for (uint32_t i = 0; i < kBlock; ++i) {
        instance.In(ch)[i] = level * static_cast<float>(std::sin(phase + i * 2 * M_PI * 1000 / kRate));
      }
    }
    phase += kBlock * 2 * M_PI * 1000 / kRate;
    instance.RunBlock(kBlock);
  }
}

std::vector<unsigned char> Pixels(const InlineDisplayImageSurface& s) {
  std::vector<unsigned char> out;
  for (int y = 0; y < s.height; ++y) out.insert(out.end(), s.data + y * s.stride, s.data + y * s.stride + 4 * s.width);
  return out;
}

TEST(Lv2InlineDisplay, TheTurtleOffersTheInterfaceAndAnOptionalQueueDraw) {
  World& w = World::Get();
  LilvNode* iface = w.NewUri(kInlineDisplayInterfaceUri);
  LilvNode* queue = w.NewUri(kInlineDisplayQueueDrawUri);
  for (hostcontrols::Layout layout : {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo}) {
    const LilvPlugin* p = w.Plugin(layout);
    ASSERT_NE(p, nullptr);
    LilvNodes* data = lilv_plugin_get_extension_data(p);
    EXPECT_TRUE(lilv_nodes_contains(data, iface));
    lilv_nodes_free(data);
    LilvNodes* optional = lilv_plugin_get_optional_features(p);
    LilvNodes* required = lilv_plugin_get_required_features(p);
    EXPECT_TRUE(lilv_nodes_contains(optional, queue));
    EXPECT_FALSE(lilv_nodes_contains(required, queue));
    lilv_nodes_free(optional);
    lilv_nodes_free(required);
  }
  lilv_node_free(iface);
  lilv_node_free(queue);
}

TEST(Lv2InlineDisplay, RendersWithinTheRequestedBoundsAndFollowsTheGainReduction) {
  for (hostcontrols::Layout layout : {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo}) {
    Instance instance(layout, kRate);
    instance.control("compression") = 10.0f;
    instance.Activate();
    const InlineDisplayInterface* display = Interface(instance);
    ASSERT_NE(display, nullptr);
    ASSERT_NE(display->render, nullptr);

    double phase = 0;
    Feed(instance, 0.0f, 40, phase);
    struct Size {
      uint32_t width, maxHeight;
    };
    std::vector<std::vector<unsigned char>> silent;
    for (Size size : {Size{200, 100}, Size{80, 40}, Size{200, 30}}) {
      InlineDisplayImageSurface* s = display->render(instance.get()->lv2_handle, size.width, size.maxHeight);
      ASSERT_NE(s, nullptr);
      ASSERT_NE(s->data, nullptr);
      EXPECT_GT(s->width, 0);
      EXPECT_GT(s->height, 0);
      EXPECT_LE(s->width, static_cast<int>(size.width));
      EXPECT_LE(s->height, static_cast<int>(size.maxHeight));
      EXPECT_GE(s->stride, 4 * s->width);
      silent.push_back(Pixels(*s));
      // Something is drawn: not every pixel is the same.
      std::vector<unsigned char> first(silent.back().begin(), silent.back().begin() + 4);
      bool varied = false;
      for (std::size_t i = 0; i + 4 <= silent.back().size() && !varied; i += 4) {
        varied = std::memcmp(first.data(), silent.back().data() + i, 4) != 0;
      }
      EXPECT_TRUE(varied) << size.width << "x" << size.maxHeight;
    }

    Feed(instance, 0.9f, 200, phase);
    ASSERT_LT(instance.control(hostcontrols::kPortGainReduction), -3.0f) << "the loud input must compress";
    for (std::size_t k = 0; k < 2; ++k) {
      const Size size = k == 0 ? Size{200, 100} : Size{80, 40};
      InlineDisplayImageSurface* s = display->render(instance.get()->lv2_handle, size.width, size.maxHeight);
      ASSERT_NE(s, nullptr);
      EXPECT_NE(Pixels(*s), silent[k]) << size.width << "x" << size.maxHeight;
    }
    // A zero size asks for nothing.
    EXPECT_EQ(display->render(instance.get()->lv2_handle, 0, 100), nullptr);
    EXPECT_EQ(display->render(instance.get()->lv2_handle, 200, 0), nullptr);
  }
}

TEST(Lv2InlineDisplay, RunQueuesADrawOnlyWhenTheNeedleMoves) {
  QueueCounter counter;
  Instance instance(hostcontrols::Layout::kStereo, kRate, {&counter.feature});
  instance.control("compression") = 10.0f;
  instance.Activate();
  double phase = 0;
  Feed(instance, 0.0f, 50, phase);
  EXPECT_EQ(counter.calls, 0) << "silence leaves the needle at rest";

  Feed(instance, 0.9f, 100, phase);
  const int attack = counter.calls;
  EXPECT_GT(attack, 0);
  EXPECT_LT(attack, 100) << "not every block";
  // Steady loud input: the reduction settles and the requests stop.
  Feed(instance, 0.9f, 2000, phase);
  const int settled = counter.calls;
  Feed(instance, 0.9f, 200, phase);
  EXPECT_EQ(counter.calls, settled);

  // Release back to silence moves the needle again.
  Feed(instance, 0.0f, 2000, phase);
  EXPECT_GT(counter.calls, settled);
}

TEST(Lv2InlineDisplay, WithoutTheQueueFeatureRunAndRenderStillWork) {
  Instance instance(hostcontrols::Layout::kMono, kRate);
  instance.Activate();
  double phase = 0;
  Feed(instance, 0.9f, 100, phase);
  const InlineDisplayInterface* display = Interface(instance);
  ASSERT_NE(display, nullptr);
  EXPECT_NE(display->render(instance.get()->lv2_handle, 120, 60), nullptr);
}

}  // namespace
}  // namespace qrv::lv2::test
