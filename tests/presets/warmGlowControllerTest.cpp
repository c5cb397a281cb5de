#include <gtest/gtest.h>

#include "presets/IndexTable.h"
#include "presets/PresetManager.h"
#include "controller/warmGlowController.h"
#include "tests/presets/PresetTestSupport.h"

namespace qrv {
namespace {

class warmGlowControllerTest : public test::PresetFixture {
 protected:
  warmGlowControllerTest() : pm(&fake), product(fake) {
    fake.manager = &pm;
    fake.product = &product;
  }
  ~warmGlowControllerTest() override { fake.manager = nullptr; }

  std::vector<uint8_t> SavedState() {
    const uint8_t* data = nullptr;
    const int32_t size = product.GetStateChunk(&data);
    return size > 0 ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>{};
  }
  // The last 12 calls must be slots 0..11 with the current record's values.
  void ExpectCurrentValuesHandedOver(const test::FakeMasterController& f, const PresetManager& m) {
    ASSERT_GE(f.calls.size(), 12u);
    for (int i = 0; i < 12; ++i) {
      const auto& call = f.calls[f.calls.size() - 12 + static_cast<std::size_t>(i)];
      EXPECT_EQ(call.first, i);
      EXPECT_EQ(call.second, static_cast<double>(m.current().values[i]));
    }
  }

  test::FakeMasterController fake;
  PresetManager pm;
  warmGlowController product;
};

TEST_F(warmGlowControllerTest, StateChunkIsThePrefixAndTheHostStateBlob) {
  pm.LoadPosition(16);  // "Pop Rock Vocal"
  const std::vector<uint8_t> state = SavedState();
  ASSERT_EQ(state.size(), 1225u);
  const uint8_t prefix[] = {0x00, 0x00, 0x00, 0x02, 'G', 'W', 'V', 'Q', 'G', 'W', 'V', 'Q', 0x38};
  EXPECT_TRUE(std::equal(std::begin(prefix), std::end(prefix), state.begin()));
  EXPECT_EQ(std::vector<uint8_t>(state.begin() + 8, state.end()), pm.WriteHostState());
  EXPECT_FALSE(HostStateEqualsDefaults(std::span(state).subspan(8)));
  EXPECT_TRUE(product.ReceiveMessage("x", 1));
}

TEST_F(warmGlowControllerTest, RestoreAcceptsEitherByteOrderOfTheCodeAndReportsBack) {
  pm.LoadPosition(16);
  pm.SetZoom(2.0);
  const std::vector<uint8_t> state = SavedState();

  for (bool swapped : {false, true}) {
    test::FakeMasterController fake2;
    PresetManager other(&fake2);
    warmGlowController product2(fake2);
    fake2.manager = &other;
    std::vector<uint8_t> chunk = state;
    if (swapped) std::reverse(chunk.begin() + 4, chunk.begin() + 8);  // "QVWG"
    product2.SetStateChunk(chunk.data(), chunk.size());
    EXPECT_EQ(other.current().Name(), "Pop Rock Vocal");
    EXPECT_EQ(other.zoom(), 200);
    ASSERT_EQ(fake2.calls.size(), 14u);
    EXPECT_EQ(fake2.calls[0], (std::pair<int, double>{kMessageHostState, 0.0}));
    EXPECT_EQ(fake2.calls[1].first, kMessageZoom);
    EXPECT_DOUBLE_EQ(fake2.calls[1].second, 0.2);
    ExpectCurrentValuesHandedOver(fake2, other);
  }
}

TEST_F(warmGlowControllerTest, AWrongCodeRestoresNothingButStillHandsOverTheValues) {
  pm.LoadPosition(16);
  std::vector<uint8_t> state = SavedState();
  test::FakeMasterController fake2;
  PresetManager other(&fake2);
  warmGlowController product2(fake2);
  fake2.manager = &other;

  state[4] = 'X';
  product2.SetStateChunk(state.data(), state.size());
  EXPECT_EQ(other.current().Name(), "Default");
  ASSERT_EQ(fake2.calls.size(), 12u);
  ExpectCurrentValuesHandedOver(fake2, other);

  fake2.calls.clear();
  product2.SetStateChunk(state.data(), 5);
  product2.SetStateChunk(nullptr, 0);
  EXPECT_EQ(fake2.calls.size(), 24u);
}

TEST_F(warmGlowControllerTest, AManagerWithoutItsControllerLinkIsNotRestoredButStillHandedOver) {
  pm.LoadPosition(16);
  const std::vector<uint8_t> state = SavedState();
  test::FakeMasterController owner;
  PresetManager unlinked(nullptr);
  warmGlowController product2(owner);
  owner.manager = &unlinked;
  product2.SetStateChunk(state.data(), state.size());
  EXPECT_EQ(unlinked.current().Name(), "Default");
  ASSERT_EQ(owner.calls.size(), 12u);  // no 29 or 59
  ExpectCurrentValuesHandedOver(owner, unlinked);
}

TEST(warmGlowControllerWithoutManager, SavesNothingAndRestoresNothing) {
  test::FakeMasterController fake;
  warmGlowController product(fake);
  const uint8_t* data = nullptr;
  EXPECT_EQ(product.GetStateChunk(&data), 0);
  const uint8_t chunk[16] = {0, 0, 0, 2, 'G', 'W', 'V', 'Q'};
  product.SetStateChunk(chunk, sizeof chunk);
  EXPECT_TRUE(fake.calls.empty());
}

}  // namespace
}  // namespace qrv
