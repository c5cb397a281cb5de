// The two state chunks: indices and IDs, layouts, size limits, notification states, the user default on
// an all-default chunk, and refusal of data shorter than its header says.
#include <algorithm>
#include <cstring>
#include <random>

#include "dsp/FactoryPresets.h"
#include "presets/PresetBlob.h"
#include "presets/SettingsStore.h"
#include "tests/aax/AaxTestSupport.h"

namespace qrv::aaxtest {
namespace {

constexpr AAX_CTypeID kAll = AAX_FourCC("All ");
constexpr AAX_CTypeID kControls = AAX_FourCC("elck");

class AaxChunks : public ::testing::Test {
 protected:
  void SetUp() override {
    auto loaded = LoadBundleHost();
    ASSERT_NE(loaded, nullptr);
    host_ = std::make_unique<RegisteredHost>(std::move(loaded));
    instance_ = Fresh();
    ASSERT_NE(instance_, nullptr);
  }
  void TearDown() override {
    instance_.reset();
    host_.reset();
    settings::RemoveFavorite(settings::kFavoriteUserDefault);
  }
  std::unique_ptr<aaxhost::Instance> Fresh() { return (*host_)->CreateInstance(0, 44100.0f); }
  aaxhost::Instance::Chunk Save(aaxhost::Instance& i, AAX_CTypeID id) {
    aaxhost::Instance::Chunk c;
    EXPECT_EQ(i.SaveChunk(id, &c), AAX_SUCCESS);
    return c;
  }
  // Host-side change made under touch, as a user at a control surface would.
  void Edit(aaxhost::Instance& i, const std::string& id, double v) {
    i.Touch(id);
    i.SetParameter(id, v);
    i.Release(id);
  }
  std::unique_ptr<RegisteredHost> host_;
  std::unique_ptr<aaxhost::Instance> instance_;
};

TEST_F(AaxChunks, TwoChunksByIndex) {
  std::vector<AAX_CTypeID> ids;
  ASSERT_EQ(instance_->ChunkIDs(&ids), AAX_SUCCESS);
  EXPECT_EQ(ids, (std::vector<AAX_CTypeID>{kControls, kAll}));
  AAX_CTypeID id = 123;
  EXPECT_EQ(instance_->dataModel()->GetChunkIDFromIndex(2, &id), AAX_ERROR_INVALID_CHUNK_INDEX);
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(instance_->dataModel()->GetChunkIDFromIndex(-1, &id), AAX_ERROR_INVALID_CHUNK_INDEX);
  uint32_t size = 0;
  EXPECT_EQ(instance_->dataModel()->GetChunkSize(AAX_FourCC("xxxx"), &size), AAX_ERROR_INVALID_CHUNK_ID);
  aaxhost::Instance::Chunk c;
  EXPECT_EQ(instance_->SaveChunk(AAX_FourCC("All!"), &c), AAX_ERROR_INVALID_CHUNK_ID);
  c.id = AAX_FourCC("xxxx");
  EXPECT_EQ(instance_->RestoreChunk(c), AAX_ERROR_INVALID_CHUNK_ID);
}

TEST_F(AaxChunks, ControlsChunkRestoresHostParameters) {
  instance_->SetParameter("5: Compression", 0.9);
  instance_->SetParameter("MasterBypassID", 1.0);
  const auto saved = Save(*instance_, kControls);
  EXPECT_EQ(saved.name, "Complete Controls State");
  bool equal = false;
  ASSERT_EQ(instance_->CompareChunk(saved, &equal), AAX_SUCCESS);
  EXPECT_TRUE(equal);

  auto other = Fresh();
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(other->CompareChunk(saved, &equal), AAX_SUCCESS);
  EXPECT_FALSE(equal);
  ASSERT_EQ(other->RestoreChunk(saved), AAX_SUCCESS);
  EXPECT_DOUBLE_EQ(other->ParameterValue("5: Compression"), 0.9);
  EXPECT_EQ(other->ParameterValue("MasterBypassID"), 1.0);
  EXPECT_FLOAT_EQ(other->PortFloat(6), 0.9f);
  ASSERT_EQ(other->CompareChunk(saved, &equal), AAX_SUCCESS);
  EXPECT_TRUE(equal);

  // Truncated controls data is refused and changes nothing.
  auto cut = saved;
  cut.data.resize(cut.data.size() - 3);
  other->SetParameter("5: Compression", 0.1);
  EXPECT_EQ(other->RestoreChunk(cut), AAX_ERROR_INCORRECT_CHUNK_SIZE);
  EXPECT_DOUBLE_EQ(other->ParameterValue("5: Compression"), 0.1);
  // Any other chunk ID compares equal.
  auto all = Save(*instance_, kAll);
  ASSERT_EQ(other->CompareChunk(all, &equal), AAX_SUCCESS);
  EXPECT_TRUE(equal);
}

TEST_F(AaxChunks, StateChunkCarriesThePresetStateBehindThePrefix) {
  const auto c = Save(*instance_, kAll);
  ASSERT_EQ(c.data.size(), 1233u);
  const uint8_t prefix[8] = {0x00, 0x00, 0x00, 0x02, 'G', 'W', 'V', 'Q'};
  EXPECT_EQ(std::memcmp(c.data.data(), prefix, 8), 0);
  EXPECT_EQ(std::memcmp(c.data.data() + 8, "GWVQ", 4), 0);
  EXPECT_EQ(c.data[12], kHostStateMarker);
  const uint8_t trailer[8] = {0x00, 0x00, 0x30, 0x00, 0x00, 0x00, 0x30, 0x00};
  EXPECT_EQ(std::memcmp(c.data.data() + 1225, trailer, 8), 0);
  uint32_t size = 0;
  ASSERT_EQ(instance_->dataModel()->GetChunkSize(kAll, &size), AAX_SUCCESS);
  EXPECT_EQ(size, 1233u);
}

TEST_F(AaxChunks, ShortStateChunksAreRefusedByState) {
  std::vector<uint8_t> data = Save(*instance_, kAll).data;
  aaxhost::Instance::Chunk c{kAll, 0, "", {}};

  c.data.assign(data.begin(), data.begin() + 52);
  EXPECT_EQ(instance_->RestoreChunk(c), AAX_ERROR_NOT_INITIALIZED);
  c.data.assign(data.begin(), data.begin() + 53);
  EXPECT_EQ(instance_->RestoreChunk(c), AAX_SUCCESS);

  instance_->Notify(AAX_FourCC("AXso"));
  c.data.assign(data.begin(), data.begin() + 11);
  EXPECT_EQ(instance_->RestoreChunk(c), AAX_ERROR_NOT_INITIALIZED);
  // That error ended the session state: 12 bytes are too short again.
  c.data.assign(data.begin(), data.begin() + 12);
  EXPECT_EQ(instance_->RestoreChunk(c), AAX_ERROR_NOT_INITIALIZED);
  instance_->Notify(AAX_FourCC("AXso"));
  EXPECT_EQ(instance_->RestoreChunk(c), AAX_SUCCESS);
}

TEST_F(AaxChunks, DataShorterThanItsHeaderSaysIsRefused) {
  Edit(*instance_, "5: Compression", 0.9);
  const std::vector<uint8_t> good = Save(*instance_, kAll).data;
  auto target = Fresh();
  ASSERT_NE(target, nullptr);
  const double before = target->ParameterValue("5: Compression");

  // Cut inside the blob: the header promises 1176 bytes of chunks.
  aaxhost::Instance::Chunk c{kAll, 0, "", std::vector<uint8_t>(good.begin(), good.begin() + 600)};
  EXPECT_EQ(target->RestoreChunk(c), AAX_ERROR_INCORRECT_CHUNK_SIZE);
  EXPECT_EQ(target->ParameterValue("5: Compression"), before);

  // Full length, but a chunk's payload size runs past the data.
  c.data = good;
  const std::size_t firstPayloadSize = 8 + kBlobHeaderSize + 4;
  c.data[firstPayloadSize + 1] = 0x7F;
  EXPECT_EQ(target->RestoreChunk(c), AAX_ERROR_INCORRECT_CHUNK_SIZE);
  EXPECT_EQ(target->ParameterValue("5: Compression"), before);

  // The same in a session being opened.
  target->Notify(AAX_FourCC("AXso"));
  EXPECT_EQ(target->RestoreChunk(c), AAX_ERROR_INCORRECT_CHUNK_SIZE);
  EXPECT_EQ(target->ParameterValue("5: Compression"), before);

  c.data = good;
  EXPECT_EQ(target->RestoreChunk(c), AAX_SUCCESS);
  EXPECT_DOUBLE_EQ(target->ParameterValue("5: Compression"), static_cast<float>(0.9));
}

TEST_F(AaxChunks, PresetOpenedIgnoresTheNextStateChunkOnly) {
  Edit(*instance_, "2: Ratio", 1.0);
  const auto saved = Save(*instance_, kAll);
  auto target = Fresh();
  ASSERT_NE(target, nullptr);
  const double before = target->ParameterValue("2: Ratio");
  target->Notify(AAX_FourCC("AXpo"));
  EXPECT_EQ(target->RestoreChunk(saved), AAX_SUCCESS);
  EXPECT_EQ(target->ParameterValue("2: Ratio"), before);
  EXPECT_EQ(target->RestoreChunk(saved), AAX_SUCCESS);
  EXPECT_EQ(target->ParameterValue("2: Ratio"), 1.0);
  EXPECT_FLOAT_EQ(target->PortFloat(3), 1.0f);
}

TEST_F(AaxChunks, AllDefaultStateLoadsTheUserDefault) {
  const auto defaults = Save(*instance_, kAll);
  // Without a user default: factory preset 0, sent as a preset load with both markers.
  {
    auto target = Fresh();
    ASSERT_NE(target, nullptr);
    Edit(*target, "6: Output", 0.9);
    target->ClearLogs();
    ASSERT_EQ(target->RestoreChunk(defaults), AAX_SUCCESS);
    EXPECT_FLOAT_EQ(target->PortFloat(26), 0.001f);
    EXPECT_FLOAT_EQ(target->PortFloat(27), 0.001f);
    EXPECT_DOUBLE_EQ(target->ParameterValue("6: Output"), static_cast<float>(0.15));
  }
  // With one stored, its values.
  PresetRecord record;
  double preset[12] = {};
  GetFactoryPreset(0, preset, nullptr, nullptr);
  for (int i = 0; i < 12; ++i) record.values[static_cast<std::size_t>(i)] = static_cast<float>(preset[i]);
  record.values[kSlotOutput] = 0.6f;
  record.values[kSlotRatio] = 1.0f;
  std::snprintf(record.name, sizeof record.name, "%s", "Mine");
  ASSERT_TRUE(settings::StoreFavorite(settings::kFavoriteUserDefault, WriteSinglePresetBlob(record, 0, 100)));
  auto target = Fresh();
  ASSERT_NE(target, nullptr);
  ASSERT_EQ(target->RestoreChunk(defaults), AAX_SUCCESS);
  EXPECT_DOUBLE_EQ(target->ParameterValue("6: Output"), 0.6f);
  EXPECT_DOUBLE_EQ(target->ParameterValue("2: Ratio"), 1.0);
  EXPECT_FLOAT_EQ(target->PortFloat(7), 0.6f);
  // A state that differs from the defaults is restored as it is.
  Edit(*instance_, "2: Ratio", 0.0);
  ASSERT_EQ(target->RestoreChunk(Save(*instance_, kAll)), AAX_SUCCESS);
  EXPECT_EQ(target->ParameterValue("2: Ratio"), 0.0);
  EXPECT_DOUBLE_EQ(target->ParameterValue("6: Output"), static_cast<float>(0.15));
}

TEST_F(AaxChunks, SessionBeingOpenedRestoresDefaultsAsTheyAreUntilAnError) {
  const auto defaults = Save(*instance_, kAll);
  PresetRecord record;
  double preset[12] = {};
  GetFactoryPreset(0, preset, nullptr, nullptr);
  for (int i = 0; i < 12; ++i) record.values[static_cast<std::size_t>(i)] = static_cast<float>(preset[i]);
  record.values[kSlotOutput] = 0.6f;
  ASSERT_TRUE(settings::StoreFavorite(settings::kFavoriteUserDefault, WriteSinglePresetBlob(record, 0, 100)));

  auto target = Fresh();
  ASSERT_NE(target, nullptr);
  Edit(*target, "6: Output", 0.9);
  target->Notify(AAX_FourCC("AXso"));
  // A saved session holds what the user had, defaults or not: no user default here.
  ASSERT_EQ(target->RestoreChunk(defaults), AAX_SUCCESS);
  EXPECT_DOUBLE_EQ(target->ParameterValue("6: Output"), static_cast<float>(0.15));
  // The state lasts: a short chunk that state 0 refuses is still taken.
  aaxhost::Instance::Chunk c{kAll, 0, "", std::vector<uint8_t>(defaults.data.begin(), defaults.data.begin() + 20)};
  EXPECT_EQ(target->RestoreChunk(c), AAX_SUCCESS);
  EXPECT_EQ(target->RestoreChunk(c), AAX_SUCCESS);
  // Until a size error ends it; then an all-default chunk is a fresh insert again.
  c.data.resize(11);
  EXPECT_EQ(target->RestoreChunk(c), AAX_ERROR_NOT_INITIALIZED);
  ASSERT_EQ(target->RestoreChunk(defaults), AAX_SUCCESS);
  EXPECT_DOUBLE_EQ(target->ParameterValue("6: Output"), 0.6f);
}

TEST_F(AaxChunks, GetChunkWritesOnlyWhatTheSizeRequestAnnounced) {
  AAX_IEffectParameters* model = instance_->dataModel();
  for (AAX_CTypeID id : {kAll, kControls}) {
    SCOPED_TRACE(id);
    std::vector<unsigned char> block(sizeof(AAX_SPlugInChunk) + 4096, 0xCD);
    auto* chunk = reinterpret_cast<AAX_SPlugInChunk*>(block.data());
    // Without a size request the host has no buffer of a size the plug-in knows.
    EXPECT_EQ(model->GetChunk(id, chunk), AAX_ERROR_INCORRECT_CHUNK_SIZE);
    EXPECT_EQ(std::count(block.begin(), block.end(), 0xCD), static_cast<std::ptrdiff_t>(block.size()));
    uint32_t size = 0;
    ASSERT_EQ(model->GetChunkSize(id, &size), AAX_SUCCESS);
    ASSERT_EQ(model->GetChunk(id, chunk), AAX_SUCCESS);
    EXPECT_EQ(chunk->fSize, static_cast<int32_t>(size));
    EXPECT_EQ(block[sizeof(AAX_SPlugInChunk) + size], 0xCD);
  }
}

TEST_F(AaxChunks, DamagedStateDataIsRefusedOrReadWithinItsSize) {
  Edit(*instance_, "5: Compression", 0.9);
  const std::vector<uint8_t> good = Save(*instance_, kAll).data;
  const aaxhost::Instance::Chunk controls = Save(*instance_, kControls);
  std::mt19937 random(20231209);
  for (int k = 0; k < 400; ++k) {
    aaxhost::Instance::Chunk c{kAll, 0, "", good};
    if (k % 4 == 0) {
      c.data.resize(random() % (good.size() + 1));
    }
    // Damage the header and chunk sizes most often: that is where lengths come from.
    for (int n = 0; n < 1 + static_cast<int>(random() % 6); ++n) {
      const std::size_t at = k % 2 == 0 ? random() % std::min<std::size_t>(c.data.size() + 1, 120)
                                        : random() % (c.data.size() + 1);
      if (at < c.data.size()) c.data[at] = static_cast<uint8_t>(random());
    }
    if (k % 3 == 0) instance_->Notify(AAX_FourCC("AXso"));
    const AAX_Result r = instance_->RestoreChunk(c);
    EXPECT_TRUE(r == AAX_SUCCESS || r == AAX_ERROR_INCORRECT_CHUNK_SIZE || r == AAX_ERROR_NOT_INITIALIZED) << r;

    aaxhost::Instance::Chunk e = controls;
    e.data.resize(random() % (controls.data.size() + 1));
    if (!e.data.empty()) e.data[random() % e.data.size()] = static_cast<uint8_t>(random());
    const AAX_Result re = instance_->RestoreChunk(e);
    EXPECT_TRUE(re == AAX_SUCCESS || re == AAX_ERROR_INCORRECT_CHUNK_SIZE) << re;
  }
  // The instance still saves a whole state.
  EXPECT_EQ(Save(*instance_, kAll).data.size(), 1233u);
}

}  // namespace
}  // namespace qrv::aaxtest
