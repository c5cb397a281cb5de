// The binding linked into the test process and hosted by the simulator, so that the parameter hub, the
// preset manager and the engine inside the host's private data can be inspected and driven as the editor
// would drive them.
#include <cstring>
#include <new>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_Module.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_RenderContext.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_AAX_Parameters_Wrapper.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_QRV_AAXWrapper_GUI.h"
#include "presets/IndexTable.h"
#include "tests/aax/AaxTestSupport.h"
#include "tests/aax/InProcessHost.h"

namespace qrv::aaxtest {
namespace {

using aax::QRV_AAX_ControllerWrapper;
using aax::QRV_QVWG_2300_AAX_Parameters_Wrapper;

class AaxHub : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = std::make_unique<RegisteredHost>(InProcessHost());
    instance_ = Fresh();
    ASSERT_NE(instance_, nullptr);
  }
  void TearDown() override {
    instance_.reset();
    host_.reset();
  }
  std::unique_ptr<aaxhost::Instance> Fresh() { return (*host_)->CreateInstance(1, 48000.0f); }
  static QRV_AAX_ControllerWrapper& Hub(aaxhost::Instance& i) {
    return dynamic_cast<QRV_QVWG_2300_AAX_Parameters_Wrapper*>(i.dataModel())->controller();
  }
  void RenderSilence(aaxhost::Instance& i, int32_t n = 64) {
    std::vector<float> in(static_cast<std::size_t>(n), 0.0f), out0(in.size()), out1(in.size());
    const float* ip[2] = {in.data(), in.data()};
    float* op[2] = {out0.data(), out1.data()};
    i.RenderBlock(ip, op, n);
  }
  aax::HiddenBlock Hidden(aaxhost::Instance& i) {
    aax::HiddenBlock h;
    EXPECT_TRUE(i.ReadPrivateData(aax::kFieldHidden, 0, sizeof h, &h));
    return h;
  }
  aax::MessageBus Bus(aaxhost::Instance& i) {
    aax::MessageBus b;
    EXPECT_TRUE(i.ReadPrivateData(aax::kFieldMessageBus, 0, sizeof b, &b));
    return b;
  }
  std::unique_ptr<RegisteredHost> host_;
  std::unique_ptr<aaxhost::Instance> instance_;
};

// A kind-9 parameter message with one entry.
std::vector<uint8_t> ParameterMessage(int32_t index, double value) {
  std::vector<uint8_t> m(10 + 16, 0);
  m[8] = 9;
  m[9] = 1;
  std::memcpy(&m[10], &index, 4);
  std::memcpy(&m[18], &value, 8);
  return m;
}

// The preset bar's loads and A/B change the sound's values and leave the instance's High quality, which
// then still reaches the engine.
TEST_F(AaxHub, APresetOrTheOtherSlotLeavesHighQualityAsItIs) {
  auto* model = dynamic_cast<QRV_QVWG_2300_AAX_Parameters_Wrapper*>(instance_->dataModel());
  ASSERT_NE(model, nullptr);
  QRV_AAX_ControllerWrapper& hub = Hub(*instance_);
  model->SetHighQuality(true);
  instance_->PumpUpdates();
  ASSERT_EQ(instance_->ParameterValue(aax::kHighQualityID), 1.0);
  PresetManager* manager = hub.GetPresetManager();
  ASSERT_NE(manager, nullptr);
  auto controls = [&] {
    std::vector<double> v;
    for (const auto& [id, slot] : kControls) v.push_back(instance_->ParameterValue(id));
    return v;
  };
  const std::vector<double> before = controls();
  ASSERT_TRUE(manager->LoadFactoryPreset(23));
  instance_->PumpUpdates();
  EXPECT_NE(controls(), before);
  EXPECT_TRUE(model->highQuality());
  manager->SelectSlot(kSlotB);
  instance_->PumpUpdates();
  EXPECT_TRUE(model->highQuality());
  EXPECT_EQ(instance_->ParameterValue(aax::kHighQualityID), 1.0);
  instance_->TimerWakeup();
  RenderSilence(*instance_);
  int32_t latency = 0;
  ASSERT_TRUE(instance_->ReadPrivateData(aax::kFieldLatency, 0, 4, &latency));
  EXPECT_EQ(latency, 61);
}

// The wake-up hands High quality over whenever the HiddenBlock holds another, also after the host has
// set the block up again; once it holds it, a wake-up writes nothing.
TEST_F(AaxHub, HighQualityReachesAHiddenBlockSetUpAgain) {
  auto* model = dynamic_cast<QRV_QVWG_2300_AAX_Parameters_Wrapper*>(instance_->dataModel());
  ASSERT_NE(model, nullptr);
  model->SetHighQuality(true);
  instance_->PumpUpdates();
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  EXPECT_EQ(Hidden(*instance_).highQuality, 1.0f);
  instance_->RecordPrivateWrites(true);
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  EXPECT_TRUE(instance_->PrivateWrites().empty());
  ASSERT_EQ(model->ResetFieldData(aax::kFieldHidden, instance_->PrivateDataPointer(aax::kFieldHidden),
                                  aax::kHiddenBlockSize),
            AAX_SUCCESS);
  EXPECT_LT(Hidden(*instance_).highQuality, 0.0f);
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  EXPECT_EQ(Hidden(*instance_).highQuality, 1.0f);
  instance_->RecordPrivateWrites(false);
}

TEST_F(AaxHub, EditorPresetLoadIsBracketedOnItsEchoes) {
  QRV_AAX_ControllerWrapper& hub = Hub(*instance_);
  const double values[7] = {0.5, 1.0, 0.0, 0.25, 0.75, 0.5, 0.0};
  hub.EditorChange(kMessagePresetStart, 1.0);
  for (std::size_t k = 0; k < 7; ++k) hub.EditorChange(static_cast<int>(kControlSlots[k]), values[k]);
  hub.EditorChange(kMessagePresetStop, 1.0);
  EXPECT_TRUE(hub.LoadFlag());
  EXPECT_EQ(hub.ExpectedEchoCount(), 6);

  instance_->ClearLogs();
  const int delivered = instance_->PumpUpdates();
  EXPECT_GE(delivered, 7);
  // Towards the model: START before the first echo, STOP after the seventh; the echoes themselves are
  // acknowledged by the host and not sent again.
  std::vector<std::string> order;
  for (const auto& r : instance_->setRequests()) order.push_back(r.id);
  ASSERT_FALSE(order.empty());
  EXPECT_EQ(order.front(), "PresetSTART");
  EXPECT_EQ(order.back(), "PresetSTOP");
  EXPECT_EQ(order.size(), 9u);
  EXPECT_FLOAT_EQ(instance_->PortFloat(26), 0.001f);
  EXPECT_FLOAT_EQ(instance_->PortFloat(27), 0.001f);
  EXPECT_FALSE(hub.LoadFlag());
  EXPECT_EQ(hub.ExpectedEchoCount(), 0);
  for (std::size_t k = 0; k < 7; ++k) {
    EXPECT_DOUBLE_EQ(hub.Value(static_cast<int>(kControlSlots[k])), values[k]);
  }
  // The echoes of the load were kept from the manager: no undo step.
  PresetManager* pm = hub.GetPresetManager();
  ASSERT_NE(pm, nullptr);
  EXPECT_FALSE(pm->CanUndo());

  // A single edit afterwards is an undo step.
  hub.EditorChange(kSlotOutput, 0.9);
  instance_->PumpUpdates();
  EXPECT_TRUE(pm->CanUndo());
  EXPECT_DOUBLE_EQ(instance_->ParameterValue("6: Output"), 0.9);
}

TEST_F(AaxHub, StartCounterRunsToNineNinetyNineAndWraps) {
  QRV_AAX_ControllerWrapper& hub = Hub(*instance_);
  float previous = -1.0f;
  for (int n = 1; n <= 1001; ++n) {
    hub.SetParameter(kMessagePresetStart, 1.0);
    const float expected = static_cast<float>(n <= 999 ? n : n - 999) * 0.001f;
    ASSERT_FLOAT_EQ(hub.StartCounter(), expected) << n;
    ASSERT_NE(hub.StartCounter(), previous);
    previous = hub.StartCounter();
  }
  instance_->PumpUpdates();
  EXPECT_FLOAT_EQ(instance_->PortFloat(26), 0.002f);
  EXPECT_EQ(hub.StopCounter(), 0.0f);
}

TEST_F(AaxHub, HiddenValuesReachTheEngineThroughPrivateData) {
  QRV_AAX_ControllerWrapper& hub = Hub(*instance_);
  RenderSilence(*instance_);
  hub.SetParameter(20, 0.75);
  hub.EditorChange(27, 0.25);
  EXPECT_DOUBLE_EQ(hub.Value(20), 0.75);
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  aax::HiddenBlock h = Hidden(*instance_);
  EXPECT_EQ(h.pending[20 - 12], 0.75f);
  EXPECT_EQ(h.pending[27 - 12], 0.25f);
  EXPECT_LT(h.pending[13 - 12], 0.0f);  // nothing for index 13
  RenderSilence(*instance_);
  h = Hidden(*instance_);
  EXPECT_EQ(h.pending[20 - 12], -1.0f);
  EXPECT_EQ(h.pending[27 - 12], -1.0f);

  // A value a failed write could not deliver goes at the next wake-up, with those that came meanwhile.
  hub.SetParameter(15, 0.5);
  instance_->FailPrivateDataAccess(aax::kFieldHidden, AAX_ERROR_DIRECT_ACCESS_OUT_OF_BOUNDS);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(instance_->TimerWakeup(), AAX_ERROR_DIRECT_ACCESS_OUT_OF_BOUNDS);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  instance_->FailPrivateDataAccess(aax::kFieldHidden, AAX_SUCCESS);
  hub.SetParameter(16, 0.125);
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  EXPECT_EQ(Hidden(*instance_).pending[15 - 12], 0.5f);
  EXPECT_EQ(Hidden(*instance_).pending[16 - 12], 0.125f);
  bool reported = false;
  for (const auto& a : (*host_)->diagnostics().assertions()) reported |= a.text == "lastResult == AAX_SUCCESS";
  EXPECT_TRUE(reported);
}

// The wake-up writes the pending values and the message halves it owns, each at its own place: the
// ports' last values, the markers and the live master object beside them are the render call's.
TEST_F(AaxHub, DirectDataWritesOnlyTheFieldsItOwns) {
  QRV_AAX_ControllerWrapper& hub = Hub(*instance_);
  RenderSilence(*instance_);
  auto* hidden = static_cast<aax::HiddenBlock*>(instance_->PrivateDataPointer(aax::kFieldHidden));
  ASSERT_NE(hidden, nullptr);
  // The render side's fields, as a wake-up must leave them even where the host's copy differs from
  // what the direct-data object last saw.
  hidden->lastPort[kSlotTime] = 0.375f;
  hidden->lastStart = 0.25f;
  const char note[] = "to the controller";
  ASSERT_TRUE(hidden->Master()->PostMessage(note, sizeof note));
  const aax::HiddenBlock before = Hidden(*instance_);

  instance_->RecordPrivateWrites(true);
  hub.SetParameter(20, 0.75);
  const std::vector<uint8_t> message = ParameterMessage(kSlotCompression, 1.0);
  ASSERT_TRUE(hub.SendMessageToProcessor(message.data(), message.size()));
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  EXPECT_EQ(WritesOutsideOwnedFields(instance_->PrivateWrites()), "");
  EXPECT_FALSE(instance_->PrivateWrites().empty());

  const aax::HiddenBlock after = Hidden(*instance_);
  EXPECT_EQ(after.pending[20 - 12], 0.75f);
  EXPECT_EQ(std::memcmp(after.lastPort, before.lastPort, sizeof after.lastPort), 0);
  EXPECT_EQ(after.lastStart, 0.25f);
  EXPECT_EQ(std::memcmp(after.master, before.master, sizeof after.master), 0);
  EXPECT_EQ(hidden->Master()->messageLength(), sizeof note);
  EXPECT_EQ(Bus(*instance_).toEngineLength, message.size());

  // With nothing to deliver, a wake-up writes nothing at all.
  RenderSilence(*instance_);
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  instance_->RecordPrivateWrites(true);
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  EXPECT_TRUE(instance_->PrivateWrites().empty());
}

TEST_F(AaxHub, MessagesCrossOnceInEachDirection) {
  QRV_AAX_ControllerWrapper& hub = Hub(*instance_);
  RenderSilence(*instance_);
  auto* engine = static_cast<warmGlowEffect*>(instance_->PrivateDataPointer(aax::kFieldEngine));
  ASSERT_NE(engine, nullptr);
  const double before = engine->driveTarget();

  const std::vector<uint8_t> message = ParameterMessage(kSlotCompression, 1.0);
  std::vector<uint8_t> tooLong(1025, 0);
  EXPECT_FALSE(hub.SendMessageToProcessor(tooLong.data(), tooLong.size()));
  EXPECT_TRUE(hub.SendMessageToProcessor(message.data(), message.size()));
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  // A second wake-up before the engine took it keeps the message.
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  aax::MessageBus bus = Bus(*instance_);
  EXPECT_EQ(bus.toEngineLength, message.size());
  EXPECT_EQ(std::memcmp(bus.toEngine, message.data(), message.size()), 0);
  RenderSilence(*instance_);
  EXPECT_EQ(Bus(*instance_).toEngineLength, 0u);
  EXPECT_NE(engine->driveTarget(), before);
  EXPECT_DOUBLE_EQ(engine->driveTarget(), DriveOfStep(kDriveStepMax));

  // The engine's direction: a message posted through the master audio processor reaches the bus and is
  // handed to the product controller, which empties it.
  auto* hidden = static_cast<aax::HiddenBlock*>(instance_->PrivateDataPointer(aax::kFieldHidden));
  const char note[] = "meter";
  ASSERT_TRUE(hidden->Master()->PostMessage(note, sizeof note));
  EXPECT_FALSE(hidden->Master()->PostMessage(note, 0));
  RenderSilence(*instance_);
  bus = Bus(*instance_);
  EXPECT_EQ(bus.toControllerLength, sizeof note);
  EXPECT_STREQ(reinterpret_cast<const char*>(bus.toController), note);
  EXPECT_EQ(hidden->Master()->messageLength(), 0u);
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  EXPECT_EQ(Bus(*instance_).toControllerLength, 0u);
}

TEST_F(AaxHub, FailedPrivateDataAccessIsReportedToTheHostAndNotPrinted) {
  RenderSilence(*instance_);
  instance_->FailPrivateDataAccess(aax::kFieldLatency, AAX_ERROR_DIRECT_ACCESS_OUT_OF_BOUNDS);
  instance_->FailPrivateDataAccess(aax::kFieldMessageBus, AAX_ERROR_NULL_OBJECT);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(instance_->TimerWakeup(), AAX_ERROR_NULL_OBJECT);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(instance_->LatencyReported());
  int reports = 0;
  for (const auto& a : (*host_)->diagnostics().assertions()) reports += a.text == "lastResult == AAX_SUCCESS";
  EXPECT_EQ(reports, 2);

  // A message the bus refused is written at the first wake-up the host allows.
  instance_->FailPrivateDataAccess(aax::kFieldLatency, AAX_SUCCESS);
  const std::vector<uint8_t> message = ParameterMessage(kSlotCompression, 1.0);
  ASSERT_TRUE(Hub(*instance_).SendMessageToProcessor(message.data(), message.size()));
  EXPECT_EQ(instance_->TimerWakeup(), AAX_ERROR_NULL_OBJECT);
  instance_->FailPrivateDataAccess(aax::kFieldMessageBus, AAX_SUCCESS);
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  EXPECT_EQ(Bus(*instance_).toEngineLength, message.size());
}

TEST_F(AaxHub, ResetFieldDataChecksSizes) {
  AAX_IEffectParameters* model = instance_->dataModel();
  std::vector<std::max_align_t> block(4096 / sizeof(std::max_align_t));
  void* p = block.data();
  EXPECT_EQ(model->ResetFieldData(aax::kFieldHidden, p, 1279), AAX_ERROR_PORT_ID_OUT_OF_RANGE);
  EXPECT_EQ(model->ResetFieldData(aax::kFieldHidden, nullptr, 1280), AAX_ERROR_PORT_ID_OUT_OF_RANGE);
  EXPECT_EQ(model->ResetFieldData(aax::kFieldLatency, p, 8), AAX_ERROR_PORT_ID_OUT_OF_RANGE);
  EXPECT_EQ(model->ResetFieldData(aax::kFieldLastRate, p, 2), AAX_ERROR_PORT_ID_OUT_OF_RANGE);
  EXPECT_EQ(model->ResetFieldData(aax::kFieldEngine, p, 16), AAX_ERROR_PORT_ID_OUT_OF_RANGE);
  EXPECT_EQ(model->ResetFieldData(aax::kFieldMessageBus, p, 2063), AAX_ERROR_PORT_ID_OUT_OF_RANGE);
  std::memset(p, 0xAB, 64);
  EXPECT_EQ(model->ResetFieldData(30, p, 64), AAX_SUCCESS);
  EXPECT_EQ(static_cast<unsigned char*>(p)[63], 0);

  float rate = 0.0f;
  ASSERT_TRUE(instance_->ReadPrivateData(aax::kFieldLastRate, 0, 4, &rate));
  uint32_t bits;
  std::memcpy(&bits, &rate, 4);
  EXPECT_EQ(bits, 0xBFD53F7Du);
}

TEST_F(AaxHub, StateRoundTripRestoresThePresetManager) {
  QRV_AAX_ControllerWrapper& hub = Hub(*instance_);
  PresetManager* pm = hub.GetPresetManager();
  ASSERT_NE(pm, nullptr);
  pm->SelectSlot(1);
  hub.EditorChange(kSlotCompression, 0.8);
  pm->SelectSlot(0);
  hub.EditorChange(kSlotRatio, 1.0);
  pm->RenameCurrent("Aye");
  hub.EditorChange(kSlotTime, 0.2);
  pm->SetZoom(1.5);
  instance_->PumpUpdates();
  EXPECT_TRUE(pm->modified());
  const PresetRecord saved = pm->current();

  aaxhost::Instance::Chunk chunk;
  ASSERT_EQ(instance_->SaveChunk(AAX_FourCC("All "), &chunk), AAX_SUCCESS);
  auto other = Fresh();
  ASSERT_NE(other, nullptr);
  ASSERT_EQ(other->RestoreChunk(chunk), AAX_SUCCESS);
  PresetManager* restored = Hub(*other).GetPresetManager();
  // Only the stored slots travel; the name with them.
  auto sameStored = [&saved](const PresetRecord& r) {
    bool same = r.Name() == saved.Name();
    for (unsigned slot : kControlSlots) same = same && r.values[slot] == saved.values[slot];
    return same;
  };
  EXPECT_TRUE(sameStored(restored->current()));
  EXPECT_EQ(restored->current().Name(), "Aye");
  EXPECT_TRUE(sameStored(restored->reference()));
  EXPECT_FALSE(restored->modified());
  EXPECT_EQ(restored->zoom(), 150);
  EXPECT_EQ(restored->ActiveSlot(), 0);
  restored->SelectSlot(1);
  EXPECT_TRUE(sameStored(restored->current()));
  EXPECT_FALSE(restored->modified());
  restored->SelectSlot(0);
  other->PumpUpdates();
  // The host parameters and the hub follow the restored record.
  EXPECT_DOUBLE_EQ(other->ParameterValue("2: Ratio"), 1.0);
  EXPECT_DOUBLE_EQ(other->ParameterValue("4: Time"), 0.2f);
  EXPECT_DOUBLE_EQ(Hub(*other).Value(kSlotTime), 0.2f);
  EXPECT_FLOAT_EQ(other->PortFloat(5), 0.2f);
  // And saving again gives the same bytes.
  aaxhost::Instance::Chunk again;
  ASSERT_EQ(other->SaveChunk(AAX_FourCC("All "), &again), AAX_SUCCESS);
  EXPECT_EQ(again.data, chunk.data);
}

class CountingLayer final : public aax::PlatformLayer {
 public:
  void Up(void* module) override {
    ++ups;
    handle = module;
  }
  void Down() override { ++downs; }
  int ups = 0, downs = 0;
  void* handle = nullptr;
};

TEST_F(AaxHub, PlatformLayerFollowsItsUsers) {
  CountingLayer layer;
  aax::SetPlatformLayer(&layer);
  EXPECT_TRUE((*host_)->InitDll());
  EXPECT_EQ(layer.ups, 1);
  EXPECT_NE(layer.handle, nullptr);
  // No parent window: the editor gets none here, but the container counts.
  EXPECT_EQ(instance_->AttachView(AAX_eViewContainer_Type_HWND, nullptr), AAX_SUCCESS);
  EXPECT_EQ(aax::ToolkitUserCount(), 2);
  EXPECT_TRUE((*host_)->ExitDll());
  EXPECT_EQ(layer.downs, 0);  // the open view still uses it
  EXPECT_EQ(instance_->DetachView(), AAX_SUCCESS);
  EXPECT_EQ(layer.downs, 1);
  int window = 0;
  EXPECT_EQ(instance_->AttachView(2, &window), AAX_SUCCESS);  // not a window container: nothing to count
  EXPECT_EQ(aax::ToolkitUserCount(), 0);
  EXPECT_EQ(instance_->DetachView(), AAX_SUCCESS);
  EXPECT_EQ(layer.ups, 1);
  double w = 0.0, h = 0.0;
  EXPECT_EQ(instance_->gui()->GetViewSize(&w, &h), AAX_SUCCESS);
  EXPECT_EQ(w, 400.0);  // the editor's window, never opened
  EXPECT_EQ(h, 353.0);
  aax::InstallToolkitPlatformLayer();
}

// Main thread and direct-data timer thread share the hub's pending values and outgoing message; the
// audio thread renders meanwhile. Run under ThreadSanitizer.
class AaxThreadsHub : public AaxHub {};

TEST_F(AaxThreadsHub, HiddenValuesAndMessagesCrossWithoutRaces) {
  QRV_AAX_ControllerWrapper& hub = Hub(*instance_);
  auto in = TestSignal(2, 64 * 2000, 48000.0f);
  std::vector<std::vector<float>> out;
  instance_->StartTimer(std::chrono::microseconds(100));
  instance_->BeginRender(in, out, {64});
  double value = 0.0;
  for (int k = 0; instance_->BlocksRendered() < 1000; ++k) {
    value = (k % 1000) / 1000.0;
    hub.SetParameter(12 + k % 17, value);
    const std::vector<uint8_t> m = ParameterMessage(kSlotCompression, value);
    EXPECT_TRUE(hub.SendMessageToProcessor(m.data(), m.size()));
    if (k % 8 == 0) {
      hub.EditorChange(kSlotOutput, value);
      instance_->PumpUpdates();
    }
    std::this_thread::yield();
  }
  // The last message and value are delivered after the changes stop.
  const std::vector<uint8_t> last = ParameterMessage(kSlotCompression, 0.0);
  ASSERT_TRUE(hub.SendMessageToProcessor(last.data(), last.size()));
  hub.SetParameter(28, 0.125);
  instance_->WaitRender();
  instance_->StopTimer();
  ASSERT_EQ(instance_->TimerWakeup(), AAX_SUCCESS);
  RenderSilence(*instance_);
  auto* engine = static_cast<warmGlowEffect*>(instance_->PrivateDataPointer(aax::kFieldEngine));
  EXPECT_DOUBLE_EQ(engine->driveTarget(), DriveOfStep(0));
  EXPECT_EQ(Bus(*instance_).toEngineLength, 0u);
  EXPECT_LT(Hidden(*instance_).pending[28 - 12], 0.0f);  // taken by the engine
  EXPECT_DOUBLE_EQ(hub.Value(28), 0.125);
}

}  // namespace
}  // namespace qrv::aaxtest

namespace qrv::aaxtest {
namespace {

// A host may hand the render procedure the same buffer for input and output; the input meter still
// reads what came in. The context is built by hand, since the simulator always copies.
TEST(AaxRenderInPlace, InputMeterReadsTheInputOfASharedBuffer) {
  alignas(16) unsigned char hidden[sizeof(aax::HiddenBlock)];
  alignas(alignof(warmGlowEffect)) unsigned char engine[sizeof(warmGlowEffect)];
  alignas(16) unsigned char bus[sizeof(aax::MessageBus)];
  int32_t latency = 0;
  float lastRate = 0.0f;
  {
    QRV_QVWG_2300_AAX_Parameters_Wrapper model;  // destroys the engine before the storage goes
    ASSERT_EQ(model.ResetFieldData(aax::kFieldHidden, hidden, sizeof hidden), AAX_SUCCESS);
    ASSERT_EQ(model.ResetFieldData(aax::kFieldEngine, engine, sizeof engine), AAX_SUCCESS);
    ASSERT_EQ(model.ResetFieldData(aax::kFieldMessageBus, bus, sizeof bus), AAX_SUCCESS);
    ASSERT_EQ(model.ResetFieldData(aax::kFieldLatency, &latency, 4), AAX_SUCCESS);
    ASSERT_EQ(model.ResetFieldData(aax::kFieldLastRate, &lastRate, 4), AAX_SUCCESS);

    double preset[12] = {};
    GetFactoryPreset(0, preset, nullptr, nullptr);
    float ports[12];
    for (int k = 0; k < 12; ++k) ports[k] = static_cast<float>(preset[k]);
    ports[kSlotCompression] = 1.0f;  // full compression, no make-up gain
    ports[kSlotOutput] = 0.0f;
    int32_t bypass = 0, length = 2048;
    float rate = 48000.0f, start = 0.0f, stop = 0.0f;
    std::vector<float> buffer = TestSignal(1, 2048, rate)[0];
    float peakIn = 0.0f;
    for (float x : buffer) peakIn = std::max(peakIn, std::fabs(x));
    float* channels[1] = {buffer.data()};
    std::array<float, aax::kMeterCount> meters{};

    aax::RenderContext ctx{};
    ctx.bypass = &bypass;
    for (int k = 0; k < 12; ++k) ctx.parameterPorts[k] = &ports[k];
    ctx.inputs = channels;
    ctx.outputs = channels;
    ctx.bufferLength = &length;
    ctx.sampleRate = &rate;
    ctx.meters = meters.data();
    ctx.hidden = reinterpret_cast<aax::HiddenBlock*>(hidden);
    ctx.latency = &latency;
    ctx.lastRate = &lastRate;
    ctx.engine = std::launder(reinterpret_cast<warmGlowEffect*>(engine));
    ctx.bus = reinterpret_cast<aax::MessageBus*>(bus);
    ctx.presetStart = &start;
    ctx.presetStop = &stop;
    void* record = &ctx;
    aax::RenderMono(&record, &record + 1);

    float peakOut = 0.0f;
    for (float x : buffer) peakOut = std::max(peakOut, std::fabs(x));
    EXPECT_LT(peakOut, 0.9f * peakIn);  // it did compress, in place
    EXPECT_EQ(meters[0], peakIn);
    EXPECT_EQ(meters[1], peakOut);
    EXPECT_EQ(lastRate, 48000.0f);
  }
}

// A processor whose meter answer the test chooses; every other operation does nothing.
class MeterProbe final : public QRVBaseAudioProcessor {
 public:
  bool answers = true;
  double value = 0.0;
  void ProcessBlock(const float* const*, float* const*, int32_t) override {}
  void ProcessBlockDouble(const double* const*, double* const*, int32_t) override {}
  void BypassBlock(const float* const*, float* const*, int32_t) override {}
  void BypassBlockDouble(const double* const*, double* const*, int32_t) override {}
  int GetLatency() override { return 0; }
  int GetTailSize() override { return 0; }
  bool SetSampleRate(double) override { return true; }
  void Reset() override {}
  bool SupportsSinglePrecision() override { return true; }
  bool SupportsDoublePrecision() override { return true; }
  void SetParameter(unsigned, double) override {}
  bool GetMeter(unsigned index, double* v) override {
    if (!answers || index != kSlotGainReduction) return false;
    *v = value;
    return true;
  }
  bool ApplyMessage(const void*, std::size_t) override { return true; }
};

TEST(AaxMeters, CustomMetersAreOffsetClampedOrMarkedAsNoValue) {
  ASSERT_EQ(aax::CustomMeterList()[0], static_cast<int>(kSlotGainReduction));
  ASSERT_EQ(aax::CustomMeterList()[1], -1);
  MeterProbe probe;
  const struct {
    bool answers;
    double value;
    float gainReduction, custom;
  } cases[] = {
      {true, 0.5, 0.5f, 0.6f},
      {true, 0.0, 0.0f, 0.1f},
      {true, 2.0, 2.0f, 1.1f},
      {true, -0.3, -0.3f, 0.1f},
      {true, std::nan(""), std::nanf(""), 0.1f},
      {true, INFINITY, INFINITY, 0.1f},
      {false, 0.7, 0.0f, 1.2345679f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.answers << " " << c.value);
    probe.answers = c.answers;
    probe.value = c.value;
    std::array<float, aax::kMeterCount> meters;
    meters.fill(-7.0f);
    aax::WriteEngineMeters(probe, meters.data());
    if (std::isnan(c.gainReduction)) {
      EXPECT_TRUE(std::isnan(meters[2]));
    } else {
      EXPECT_EQ(meters[2], c.gainReduction);
    }
    EXPECT_FLOAT_EQ(meters[3], c.custom);
    EXPECT_EQ(meters[0], -7.0f);  // input and output peaks are not this function's
    EXPECT_EQ(meters[4], -7.0f);  // only one custom meter in this product
  }
}

}  // namespace
}  // namespace qrv::aaxtest
