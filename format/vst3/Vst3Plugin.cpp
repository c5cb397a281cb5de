#include "format/vst3/Vst3Plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "dsp/FactoryPresets.h"
#include "format/vst3/Vst3Ids.h"

namespace qrv::vst3 {

using namespace abi;

Vst3Plugin::Vst3Plugin(Layout layout) : layout_(layout), core_(hostcontrols::ChannelCount(layout)) {}

Vst3Plugin::~Vst3Plugin() = default;

tresult Vst3Plugin::queryInterface(const TUID id, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  *obj = nullptr;
  if (SameUid(id, FUnknown::iid) || SameUid(id, IPluginBase::iid) || SameUid(id, IComponent::iid)) {
    *obj = static_cast<IComponent*>(this);
  } else if (SameUid(id, IAudioProcessor::iid)) {
    *obj = static_cast<IAudioProcessor*>(this);
  } else if (SameUid(id, IEditController::iid)) {
    *obj = static_cast<IEditController*>(this);
  } else if (SameUid(id, IUnitInfo::iid)) {
    *obj = static_cast<IUnitInfo*>(this);
  } else if (SameUid(id, IProcessContextRequirements::iid)) {
    *obj = static_cast<IProcessContextRequirements*>(this);
  } else {
    return kNoInterface;
  }
  addRef();
  return kResultOk;
}

uint32_t Vst3Plugin::addRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32_t Vst3Plugin::release() {
  const uint32_t left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete this;
  return left;
}

// The host initialises the component, and may initialise the same object again as its controller.
tresult Vst3Plugin::initialize(FUnknown* context) {
  if (!context_ && context != nullptr) context_ = Ref<FUnknown>::Share(context);
  return kResultOk;
}

tresult Vst3Plugin::terminate() {
  handler_.Reset();
  context_.Reset();
  return kResultOk;
}

// The component is its own controller.
tresult Vst3Plugin::getControllerClassId(TUID) { return kResultFalse; }

tresult Vst3Plugin::setIoMode(IoMode) { return kResultOk; }

int32_t Vst3Plugin::getBusCount(MediaType type, BusDirection dir) {
  return type == kAudio && (dir == kInput || dir == kOutput) ? 1 : 0;
}

tresult Vst3Plugin::getBusInfo(MediaType type, BusDirection dir, int32_t index, BusInfo& bus) {
  if (type != kAudio || (dir != kInput && dir != kOutput) || index != 0) return kInvalidArgument;
  bus = BusInfo{};
  bus.mediaType = kAudio;
  bus.direction = dir;
  bus.channelCount = static_cast<int32_t>(channels());
  CopyUtf16(dir == kInput ? "Input" : "Output", bus.name, 128);
  bus.busType = kMain;
  bus.flags = BusInfo::kDefaultActive;
  return kResultOk;
}

tresult Vst3Plugin::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

tresult Vst3Plugin::activateBus(MediaType type, BusDirection dir, int32_t index, TBool) {
  return type == kAudio && (dir == kInput || dir == kOutput) && index == 0 ? kResultOk : kInvalidArgument;
}

tresult Vst3Plugin::setActive(TBool state) {
  if (!state) {
    active_ = false;
    return kResultOk;
  }
  // The engine's filters are defined from 22.05 to 192 kHz: refused elsewhere rather than run wrong.
  if (!core_.SetSampleRate(setup_.sampleRate)) return kResultFalse;
  try {
    const auto frames = static_cast<std::size_t>(std::max(setup_.maxSamplesPerBlock, 0));
    zeros_.assign(frames, 0.0f);
    // 64-bit blocks run through float buffers, in pieces of this size.
    const std::size_t narrow = setup_.symbolicSampleSize == kSample64 ? std::max<std::size_t>(frames, 1) : 0;
    for (std::vector<float>& b : narrow_) b.assign(narrow, 0.0f);
  } catch (...) {
    return kOutOfMemory;
  }
  core_.RequestReset();
  active_ = true;
  return kResultOk;
}

tresult Vst3Plugin::setBusArrangements(SpeakerArrangement* inputs, int32_t numIns, SpeakerArrangement* outputs,
                                       int32_t numOuts) {
  if (active_ || inputs == nullptr || outputs == nullptr || numIns != 1 || numOuts != 1) return kResultFalse;
  return inputs[0] == Arrangement() && outputs[0] == Arrangement() ? kResultTrue : kResultFalse;
}

tresult Vst3Plugin::getBusArrangement(BusDirection dir, int32_t index, SpeakerArrangement& arr) {
  if ((dir != kInput && dir != kOutput) || index != 0) return kInvalidArgument;
  arr = Arrangement();
  return kResultOk;
}

tresult Vst3Plugin::canProcessSampleSize(int32_t symbolicSampleSize) {
  return symbolicSampleSize == kSample32 || symbolicSampleSize == kSample64 ? kResultTrue : kResultFalse;
}

tresult Vst3Plugin::setupProcessing(ProcessSetup& setup) {
  if (active_ || canProcessSampleSize(setup.symbolicSampleSize) != kResultTrue || setup.maxSamplesPerBlock < 0)
    return kResultFalse;
  setup_ = setup;
  return kResultOk;
}

tresult Vst3Plugin::setProcessing(TBool) { return kResultOk; }

void Vst3Plugin::ApplyValue(ParamID id, double normalised, bool inBlock) {
  if (std::isnan(normalised)) return;
  if (const hostcontrols::ControlPort* port = ControlOf(id)) {
    const double v = vst3::EngineValue(*port, normalised);
    if (inBlock) {
      core_.ApplyValueNow(port->slot, v);
    } else {
      core_.SetValue(port->slot, v);
    }
  } else if (id == kParamBypass) {
    core_.SetBypass(normalised >= 0.5);
  }
  // The program and High quality change through the controller only: a preset load is no work for the
  // audio thread, and a latency change needs a restart the audio thread may not ask for.
}

void Vst3Plugin::ProcessFrames(ProcessData& data, const float* const* in, uint32_t offset, uint32_t count) {
  const bool stereo = layout_ == Layout::kStereo;
  if (data.symbolicSampleSize == kSample32) {
    float** out = data.outputs[0].channelBuffers32;
    const float* ip[2] = {in[0] + offset, stereo ? in[1] + offset : nullptr};
    float* op[2] = {out[0] + offset, stereo ? out[1] + offset : nullptr};
    core_.ProcessFrames(ip, op, count);
    return;
  }
  // 64-bit: through the float buffers, a piece at a time (the engine runs in single precision).
  const uint64_t silent = data.inputs[0].silenceFlags;
  double** din = data.inputs[0].channelBuffers64;
  double** dout = data.outputs[0].channelBuffers64;
  const auto size = static_cast<uint32_t>(narrow_[0].size());
  for (uint32_t done = 0; done < count;) {
    const uint32_t n = std::min(count - done, size);
    const uint32_t at = offset + done;
    const float* ip[2] = {narrow_[0].data(), stereo ? narrow_[1].data() : nullptr};
    float* op[2] = {narrow_[2].data(), stereo ? narrow_[3].data() : nullptr};
    for (uint32_t ch = 0; ch < channels(); ++ch) {
      float* to = narrow_[ch].data();
      if ((silent >> ch) & 1u) {
        std::fill(to, to + n, 0.0f);
      } else {
        for (uint32_t i = 0; i < n; ++i) to[i] = static_cast<float>(din[ch][at + i]);
      }
    }
    core_.ProcessFrames(ip, op, n);
    for (uint32_t ch = 0; ch < channels(); ++ch) {
      for (uint32_t i = 0; i < n; ++i) dout[ch][at + i] = op[ch][i];
    }
    done += n;
  }
}

tresult Vst3Plugin::process(ProcessData& data) {
  if (data.numSamples < 0 || canProcessSampleSize(data.symbolicSampleSize) != kResultTrue) return kInvalidArgument;
  const bool wide = data.symbolicSampleSize == kSample64;
  const auto frames = static_cast<uint32_t>(data.numSamples);
  const uint32_t channels = this->channels();
  bool audio = frames > 0 && data.numInputs >= 1 && data.numOutputs >= 1 && data.inputs != nullptr &&
               data.outputs != nullptr;
  if (audio) {
    const AudioBusBuffers& in = data.inputs[0];
    const AudioBusBuffers& out = data.outputs[0];
    // The union's members are both pointers to channel pointers: either is checked the same way.
    audio = in.numChannels == static_cast<int32_t>(channels) && out.numChannels == static_cast<int32_t>(channels) &&
            in.channelBuffers32 != nullptr && out.channelBuffers32 != nullptr && (!wide || !narrow_[0].empty());
    for (uint32_t ch = 0; audio && ch < channels; ++ch) {
      audio = wide ? in.channelBuffers64[ch] != nullptr && out.channelBuffers64[ch] != nullptr
                   : in.channelBuffers32[ch] != nullptr && out.channelBuffers32[ch] != nullptr;
    }
  }

  // The queues in the order of their points' offsets. A change at offset 0 is the block's starting value,
  // which the engine takes before the block (after an activation: without a glide); later ones split the
  // block. Queues beyond what the cursors hold (more than there are parameters) apply at the start.
  struct Cursor {
    IParamValueQueue* queue;
    ParamID id;
    int32_t count;
    int32_t next;
  };
  constexpr int32_t kMaxCursors = 32;
  Cursor cursors[kMaxCursors];
  int32_t cursorCount = 0;
  IParameterChanges* changes = data.inputParameterChanges;
  const int32_t queues = changes != nullptr ? changes->getParameterCount() : 0;
  for (int32_t q = 0; q < queues; ++q) {
    IParamValueQueue* queue = changes->getParameterData(q);
    if (queue == nullptr) continue;
    Cursor c{queue, queue->getParameterId(), queue->getPointCount(), 0};
    for (; c.next < c.count; ++c.next) {
      int32_t offset = 0;
      ParamValue value = 0.0;
      if (queue->getPoint(c.next, offset, value) != kResultOk) continue;
      if (audio && offset > 0 && cursorCount < kMaxCursors) break;
      ApplyValue(c.id, value, false);
    }
    if (c.next < c.count) cursors[cursorCount++] = c;
  }

  core_.BeginBlock();
  if (!audio) {
    // A parameter flush (no frames), or a host without buffers: the values are taken, no audio moves.
    for (int32_t i = 0; i < cursorCount; ++i) {
      for (Cursor& c = cursors[i]; c.next < c.count; ++c.next) {
        int32_t offset = 0;
        ParamValue value = 0.0;
        if (c.queue->getPoint(c.next, offset, value) == kResultOk) ApplyValue(c.id, value, true);
      }
    }
    if (data.outputs != nullptr && data.numOutputs >= 1) data.outputs[0].silenceFlags = 0;
    return frames == 0 || data.numOutputs == 0 ? kResultOk : kInvalidArgument;
  }

  // Input channels the host marks silent read as zeros.
  const AudioBusBuffers& inBus = data.inputs[0];
  const float* in[2] = {nullptr, nullptr};
  if (!wide) {
    in[0] = inBus.channelBuffers32[0];
    in[1] = channels == 2 ? inBus.channelBuffers32[1] : nullptr;
  }
  if (!wide && zeros_.size() >= frames) {
    for (uint32_t ch = 0; ch < channels; ++ch) {
      if ((inBus.silenceFlags >> ch) & 1u) in[ch] = zeros_.data();
    }
  }

  uint32_t position = 0;
  for (;;) {
    Cursor* first = nullptr;
    int32_t firstOffset = 0;
    ParamValue firstValue = 0.0;
    for (int32_t i = 0; i < cursorCount; ++i) {
      Cursor& c = cursors[i];
      while (c.next < c.count) {
        int32_t offset = 0;
        ParamValue value = 0.0;
        if (c.queue->getPoint(c.next, offset, value) != kResultOk) {
          ++c.next;
          continue;
        }
        if (first == nullptr || offset < firstOffset) {
          first = &c;
          firstOffset = offset;
          firstValue = value;
        }
        break;
      }
    }
    if (first == nullptr) break;
    const uint32_t at = std::min(static_cast<uint32_t>(std::max(firstOffset, 0)), frames);
    if (at > position) {
      ProcessFrames(data, in, position, at - position);
      position = at;
    }
    ApplyValue(first->id, firstValue, true);
    ++first->next;
  }
  if (position < frames) ProcessFrames(data, in, position, frames - position);
  core_.EndBlock();

  // Channels whose output is exactly silent are marked so.
  uint64_t silent = 0;
  for (uint32_t ch = 0; ch < channels; ++ch) {
    const AudioBusBuffers& out = data.outputs[0];
    const bool quiet =
        wide ? std::all_of(out.channelBuffers64[ch], out.channelBuffers64[ch] + frames, [](double s) { return s == 0.0; })
             : std::all_of(out.channelBuffers32[ch], out.channelBuffers32[ch] + frames, [](float s) { return s == 0.0f; });
    if (quiet) silent |= uint64_t{1} << ch;
  }
  data.outputs[0].silenceFlags = silent;
  return kResultOk;
}

// ---- State

bool Vst3Plugin::ReadStream(IBStream* stream, std::vector<uint8_t>& bytes) {
  if (stream == nullptr) return false;
  bytes.clear();
  uint8_t buffer[4096];
  for (;;) {
    int32_t got = 0;
    const tresult result = stream->read(buffer, static_cast<int32_t>(sizeof buffer), &got);
    // A stream moves fewer bytes than asked whenever it likes; none at all is its end.
    if (got < 0 || static_cast<std::size_t>(got) > sizeof buffer) return false;
    if (got == 0) return true;
    if (bytes.size() + static_cast<std::size_t>(got) > kStateMaxSize) return false;  // no state of ours
    bytes.insert(bytes.end(), buffer, buffer + got);
    if (result != kResultOk) return true;
  }
}

tresult Vst3Plugin::LoadState(const std::vector<uint8_t>& bytes) {
  uint32_t flags = 0;
  if (!state().LoadStream(bytes, flags)) return kResultFalse;
  state().PublishValues();
  const uint32_t latency = core_.Latency();
  core_.ApplyStateFlags(flags);
  if (core_.Latency() != latency && handler_) handler_->restartComponent(kLatencyChanged);
  program_.store(-1, std::memory_order_relaxed);
  loads_.fetch_add(1, std::memory_order_release);
  return kResultOk;
}

void Vst3Plugin::ValuesChanged() {
  if (handler_) handler_->restartComponent(kParamValuesChanged);
}

// The component's state, and the controller's too: the one object has one state, so a host that stores
// the controller's state beside the component's stores the same stream twice and restores it twice.
tresult Vst3Plugin::setState(IBStream* stream) {
  std::vector<uint8_t> bytes;
  try {
    if (!ReadStream(stream, bytes)) return kResultFalse;
    const tresult result = LoadState(bytes);
    if (result == kResultOk) ValuesChanged();
    return result;
  } catch (...) {
    return kResultFalse;
  }
}

tresult Vst3Plugin::getState(IBStream* stream) {
  if (stream == nullptr) return kInvalidArgument;
  std::vector<uint8_t> bytes;
  try {
    if (!state().SaveStream(bytes, core_.StateFlags())) return kResultFalse;
  } catch (...) {
    return kResultFalse;
  }
  // A stream may take fewer bytes than offered.
  for (std::size_t done = 0; done < bytes.size();) {
    const auto piece = static_cast<int32_t>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    int32_t written = 0;
    stream->write(bytes.data() + done, piece, &written);
    if (written <= 0 || written > piece) return kResultFalse;
    done += static_cast<std::size_t>(written);
  }
  return kResultOk;
}

// The host hands the controller what the component saved. Being the component, the instance has it
// already unless the host restores the controller alone; a stream that is no state of ours is refused.
tresult Vst3Plugin::setComponentState(IBStream* stream) {
  try {
    std::vector<uint8_t> bytes, current;
    if (!ReadStream(stream, bytes)) return kResultFalse;
    if (state().SaveStream(current, core_.StateFlags()) && current == bytes) return kResultOk;
    return LoadState(bytes);
  } catch (...) {
    return kResultFalse;
  }
}

// ---- Parameters

tresult Vst3Plugin::getParameterInfo(int32_t paramIndex, ParameterInfo& info) {
  return ParamInfo(paramIndex, info) ? kResultOk : kInvalidArgument;
}

tresult Vst3Plugin::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
  if (string == nullptr) return kInvalidArgument;
  try {
    const std::string text = ValueText(id, valueNormalized);
    if (text.empty()) return kInvalidArgument;
    CopyUtf16(text, string, 128);
    return kResultOk;
  } catch (...) {
    return kResultFalse;
  }
}

tresult Vst3Plugin::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
  if (string == nullptr) return kInvalidArgument;
  try {
    const std::optional<double> v = TextValue(id, ToUtf8(string, 128));
    if (!v) return kResultFalse;
    valueNormalized = *v;
    return kResultOk;
  } catch (...) {
    return kResultFalse;
  }
}

ParamValue Vst3Plugin::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
  return ToPlain(id, valueNormalized).value_or(0.0);
}

ParamValue Vst3Plugin::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  return ToNormalised(id, plainValue).value_or(0.0);
}

ParamValue Vst3Plugin::getParamNormalized(ParamID id) {
  if (const hostcontrols::ControlPort* port = ControlOf(id)) return HostValue(*port, core_.Value(port->slot));
  if (id == kParamBypass) return core_.bypassed() ? 1.0 : 0.0;
  if (id == kParamHighQuality) return core_.highQuality() ? 1.0 : 0.0;
  if (id == kParamProgram) return *ToNormalised(id, std::max(program_.load(std::memory_order_relaxed), 0));
  return 0.0;
}

tresult Vst3Plugin::setParamNormalized(ParamID id, ParamValue value) {
  if (!IsKnownParam(id) || std::isnan(value)) return kInvalidArgument;
  if (id == kParamHighQuality) {
    if (SwitchHighQuality(*ToPlain(id, value) >= 0.5) && handler_) handler_->restartComponent(kLatencyChanged);
    return kResultOk;
  }
  if (id != kParamProgram) {
    ApplyValue(id, value, false);
    return kResultOk;
  }
  const auto index = static_cast<int32_t>(*ToPlain(id, value));
  if (index == program_.load(std::memory_order_relaxed)) return kResultOk;
  try {
    // As the bar loads it: numbered and named as in its list, unmodified, one undo step.
    if (!state().LoadFactoryPreset(index)) return kResultFalse;
    state().PublishValues();
  } catch (...) {
    return kResultFalse;
  }
  program_.store(index, std::memory_order_relaxed);
  loads_.fetch_add(1, std::memory_order_release);
  ValuesChanged();
  return kResultOk;
}

tresult Vst3Plugin::setComponentHandler(IComponentHandler* handler) {
  handler_ = Ref<IComponentHandler>::Share(handler);
  return kResultOk;
}

void Vst3Plugin::EditValue(unsigned slot, double engineValue) { core_.SetValue(slot, engineValue); }

bool Vst3Plugin::SwitchHighQuality(bool on) {
  const uint32_t latency = core_.Latency();
  core_.SetHighQuality(on);
  return core_.Latency() != latency;
}

// ---- Units

tresult Vst3Plugin::getUnitInfo(int32_t unitIndex, UnitInfo& info) {
  if (unitIndex != 0) return kInvalidArgument;
  info = UnitInfo{};
  info.id = kRootUnitId;
  info.parentUnitId = kNoParentUnitId;
  CopyUtf16("Root", info.name, 128);
  info.programListId = kProgramListId;
  return kResultOk;
}

tresult Vst3Plugin::getProgramListInfo(int32_t listIndex, ProgramListInfo& info) {
  if (listIndex != 0) return kInvalidArgument;
  info = ProgramListInfo{};
  info.id = kProgramListId;
  CopyUtf16("Factory presets", info.name, 128);
  info.programCount = kFactoryPresetCount;
  return kResultOk;
}

tresult Vst3Plugin::getProgramName(ProgramListID listId, int32_t programIndex, String128 name) {
  if (listId != kProgramListId || programIndex < 0 || programIndex >= kFactoryPresetCount || name == nullptr)
    return kInvalidArgument;
  try {
    CopyUtf16(FactoryPresetLabel(programIndex), name, 128);
  } catch (...) {
    return kResultFalse;
  }
  return kResultOk;
}

tresult Vst3Plugin::getUnitByBus(MediaType type, BusDirection dir, int32_t busIndex, int32_t, UnitID& unitId) {
  if (type != kAudio || (dir != kInput && dir != kOutput) || busIndex != 0) return kInvalidArgument;
  unitId = kRootUnitId;
  return kResultOk;
}

}  // namespace qrv::vst3
