// One VST3 plug-in instance: component, audio processor and edit controller in one object over the
// instance core. One object rather than a component and a separate controller: the controller then reads
// and sets the very values the audio side runs with, no messages cross between the two, and hosts handle
// it (getControllerClassId answers kResultFalse, so they ask the component itself for IEditController).
//
// Samples: 32-bit float, and 64-bit converted to and from single precision around the engine.
//
// Threads, as the format assigns them: everything on the host's UI thread except process (its audio
// thread) and setProcessing (either). process allocates nothing and takes no lock; a program change
// arrives through the controller (setParamNormalized) and loads there, never on the audio thread; so does
// High quality, whose latency change the host learns through restartComponent (not callable from process).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "controller/InstanceCore.h"
#include "format/vst3/Vst3Abi.h"
#include "format/vst3/Vst3Params.h"

namespace qrv::vst3 {

class Vst3Plugin final : public abi::IComponent,
                         public abi::IAudioProcessor,
                         public abi::IEditController,
                         public abi::IUnitInfo,
                         public abi::IProcessContextRequirements {
 public:
  explicit Vst3Plugin(Layout layout);
  Vst3Plugin(const Vst3Plugin&) = delete;
  Vst3Plugin& operator=(const Vst3Plugin&) = delete;

  abi::FUnknown* unknown() { return static_cast<abi::IComponent*>(this); }

  // FUnknown
  abi::tresult queryInterface(const abi::TUID id, void** obj) override;
  uint32_t addRef() override;
  uint32_t release() override;
  // IPluginBase (one for the component and the controller)
  abi::tresult initialize(abi::FUnknown* context) override;
  abi::tresult terminate() override;
  // IComponent
  abi::tresult getControllerClassId(abi::TUID classId) override;
  abi::tresult setIoMode(abi::IoMode mode) override;
  int32_t getBusCount(abi::MediaType type, abi::BusDirection dir) override;
  abi::tresult getBusInfo(abi::MediaType type, abi::BusDirection dir, int32_t index, abi::BusInfo& bus) override;
  abi::tresult getRoutingInfo(abi::RoutingInfo& inInfo, abi::RoutingInfo& outInfo) override;
  abi::tresult activateBus(abi::MediaType type, abi::BusDirection dir, int32_t index, abi::TBool state) override;
  abi::tresult setActive(abi::TBool state) override;
  abi::tresult setState(abi::IBStream* state) override;  // IComponent's and IEditController's: see .cpp
  abi::tresult getState(abi::IBStream* state) override;
  // IAudioProcessor
  abi::tresult setBusArrangements(abi::SpeakerArrangement* inputs, int32_t numIns, abi::SpeakerArrangement* outputs,
                                  int32_t numOuts) override;
  abi::tresult getBusArrangement(abi::BusDirection dir, int32_t index, abi::SpeakerArrangement& arr) override;
  abi::tresult canProcessSampleSize(int32_t symbolicSampleSize) override;
  // High quality (kept with the state) delays the output; the host hears of a change through a restart.
  uint32_t getLatencySamples() override { return core_.Latency(); }
  abi::tresult setupProcessing(abi::ProcessSetup& setup) override;
  abi::tresult setProcessing(abi::TBool state) override;
  abi::tresult process(abi::ProcessData& data) override;
  uint32_t getTailSamples() override { return abi::kNoTail; }
  // IProcessContextRequirements: no transport is read.
  uint32_t getProcessContextRequirements() override { return 0; }
  // IEditController
  abi::tresult setComponentState(abi::IBStream* state) override;
  int32_t getParameterCount() override { return kParamCount; }
  abi::tresult getParameterInfo(int32_t paramIndex, abi::ParameterInfo& info) override;
  abi::tresult getParamStringByValue(abi::ParamID id, abi::ParamValue valueNormalized, abi::String128 string) override;
  abi::tresult getParamValueByString(abi::ParamID id, abi::TChar* string, abi::ParamValue& valueNormalized) override;
  abi::ParamValue normalizedParamToPlain(abi::ParamID id, abi::ParamValue valueNormalized) override;
  abi::ParamValue plainParamToNormalized(abi::ParamID id, abi::ParamValue plainValue) override;
  abi::ParamValue getParamNormalized(abi::ParamID id) override;
  abi::tresult setParamNormalized(abi::ParamID id, abi::ParamValue value) override;
  abi::tresult setComponentHandler(abi::IComponentHandler* handler) override;
  abi::IPlugView* createView(abi::FIDString name) override;
  // IUnitInfo: the root unit with the factory presets as its program list.
  int32_t getUnitCount() override { return 1; }
  abi::tresult getUnitInfo(int32_t unitIndex, abi::UnitInfo& info) override;
  int32_t getProgramListCount() override { return 1; }
  abi::tresult getProgramListInfo(int32_t listIndex, abi::ProgramListInfo& info) override;
  abi::tresult getProgramName(abi::ProgramListID listId, int32_t programIndex, abi::String128 name) override;
  abi::tresult getProgramInfo(abi::ProgramListID, int32_t, const char*, abi::String128) override {
    return abi::kResultFalse;
  }
  abi::tresult hasProgramPitchNames(abi::ProgramListID, int32_t) override { return abi::kResultFalse; }
  abi::tresult getProgramPitchName(abi::ProgramListID, int32_t, int16_t, abi::String128) override {
    return abi::kResultFalse;
  }
  abi::UnitID getSelectedUnit() override { return abi::kRootUnitId; }
  abi::tresult selectUnit(abi::UnitID unitId) override {
    return unitId == abi::kRootUnitId ? abi::kResultOk : abi::kInvalidArgument;
  }
  abi::tresult getUnitByBus(abi::MediaType type, abi::BusDirection dir, int32_t busIndex, int32_t channel,
                            abi::UnitID& unitId) override;
  abi::tresult setUnitProgramData(int32_t, int32_t, abi::IBStream*) override { return abi::kNotImplemented; }

  // ---- The editor's side [UI].
  Layout layout() const { return layout_; }
  InstancePresets& state() { return core_.presets(); }
  double EngineValue(unsigned slot) const { return core_.Value(slot); }
  double MeterReading() const { return core_.MeterReading(); }
  uint32_t LoadCount() const { return loads_.load(std::memory_order_acquire); }
  // An edit in the window: the instance's value at once, and the host's through its component handler.
  void EditValue(unsigned slot, double engineValue);
  bool HighQuality() const { return core_.highQuality(); }
  // Switches High quality; true when the latency changed, which the caller then reports to the host.
  bool SwitchHighQuality(bool on);
  abi::IComponentHandler* handler() const { return handler_.get(); }

 private:
  ~Vst3Plugin();
  uint32_t channels() const { return hostcontrols::ChannelCount(layout_); }
  abi::SpeakerArrangement Arrangement() const {
    return layout_ == Layout::kStereo ? abi::SpeakerArr::kStereo : abi::SpeakerArr::kMono;
  }
  // A host value of parameter id: in the block (at once, for the engine) or before it.
  void ApplyValue(abi::ParamID id, double normalised, bool inBlock);
  void ProcessFrames(abi::ProcessData& data, const float* const* in, uint32_t offset, uint32_t count);
  bool ReadStream(abi::IBStream* stream, std::vector<uint8_t>& bytes);
  abi::tresult LoadState(const std::vector<uint8_t>& bytes);
  void ValuesChanged();

  std::atomic<uint32_t> refs_{1};
  const Layout layout_;
  InstanceCore core_;
  abi::Ref<abi::FUnknown> context_;
  abi::Ref<abi::IComponentHandler> handler_;
  abi::ProcessSetup setup_{abi::kRealtime, abi::kSample32, 0, 0.0};
  bool active_ = false;
  // The program the host chose last; -1 before any and after a state load (which is no program).
  std::atomic<int32_t> program_{-1};
  std::atomic<uint32_t> loads_{0};
  // Zeros for an input channel the host marks silent (its buffer need not be cleared). [audio]
  std::vector<float> zeros_;
  // Input and output channels of a 64-bit block in single precision. [audio]
  std::array<std::vector<float>, 4> narrow_;
};

}  // namespace qrv::vst3
