#include "tests/vst3/Vst3TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/support/ScratchUser.h"
#include "tests/support/SharedLibrary.h"

namespace qrv::vst3::test {
namespace {

// Before any test loads the module.
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new qrv::test::ScratchUserEnvironment(true));

}  // namespace

std::string Narrow(const TChar* text) {
  std::string out;
  for (std::size_t i = 0; text != nullptr && text[i] != 0; ++i) out += text[i] < 0x80 ? static_cast<char>(text[i]) : '?';
  return out;
}

std::vector<TChar> Wide(const std::string& text) {
  std::vector<TChar> out(text.begin(), text.end());
  out.push_back(0);
  return out;
}

Module::Module(const std::string& path) {
  handle_ = qrv::test::OpenLibrary(path, &error_);
  if (handle_ == nullptr) return;
  auto get = reinterpret_cast<GetPluginFactoryFunc>(qrv::test::LibrarySymbol(handle_, kGetPluginFactoryName));
#ifdef _WIN32
  // InitDll and ExitDll are optional for hosts on Windows; this one calls both, as most do.
  auto entry = reinterpret_cast<InitDllFunc>(qrv::test::LibrarySymbol(handle_, kInitDllName));
  const bool exits = qrv::test::LibrarySymbol(handle_, kExitDllName) != nullptr;
#else
  auto entry = reinterpret_cast<ModuleEntryFunc>(qrv::test::LibrarySymbol(handle_, kModuleEntryName));
  const bool exits = qrv::test::LibrarySymbol(handle_, kModuleExitName) != nullptr;
#endif
  if (entry == nullptr || get == nullptr || !exits) {
    error_ = "an export is missing";
    return;
  }
#ifdef _WIN32
  const bool entered = entry();
#else
  const bool entered = entry(handle_);
#endif
  if (!entered) {
    error_ = "the module's entry failed";
    return;
  }
  entered_ = true;
  factory_ = get();
  if (factory_ == nullptr) error_ = "no factory";
}

Module::~Module() {
  if (factory_ != nullptr) factory_->release();
#ifdef _WIN32
  if (entered_) reinterpret_cast<ExitDllFunc>(qrv::test::LibrarySymbol(handle_, kExitDllName))();
#else
  if (entered_) reinterpret_cast<ModuleExitFunc>(qrv::test::LibrarySymbol(handle_, kModuleExitName))();
#endif
}

// ---- Host

tresult Host::queryInterface(const TUID id, void** obj) {
  *obj = nullptr;
  if (SameUid(id, FUnknown::iid) || SameUid(id, IHostApplication::iid)) {
    *obj = static_cast<IHostApplication*>(this);
  } else if (SameUid(id, IComponentHandler::iid)) {
    *obj = static_cast<IComponentHandler*>(this);
  } else if (SameUid(id, IPlugFrame::iid)) {
    *obj = static_cast<IPlugFrame*>(this);
  } else if (SameUid(id, Linux::IRunLoop::iid) && offerRunLoop) {
    *obj = static_cast<Linux::IRunLoop*>(this);
  } else {
    return kNoInterface;
  }
  ++refs;
  return kResultOk;
}

tresult Host::getName(String128 name) {
  const std::vector<TChar> wide = Wide("test host");
  std::copy(wide.begin(), wide.end(), name);
  return kResultOk;
}

tresult Host::beginEdit(ParamID id) {
  edits.push_back({'b', id, 0.0});
  return kResultOk;
}
tresult Host::performEdit(ParamID id, ParamValue value) {
  edits.push_back({'v', id, value});
  return kResultOk;
}
tresult Host::endEdit(ParamID id) {
  edits.push_back({'e', id, 0.0});
  return kResultOk;
}

tresult Host::resizeView(IPlugView* view, ViewRect* size) {
  if (view == nullptr || size == nullptr) return kInvalidArgument;
  resizes.emplace_back(size->right - size->left, size->bottom - size->top);
  return view->onSize(size);
}

tresult Host::registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd) {
  handlers.emplace_back(handler, fd);
  return kResultOk;
}
tresult Host::unregisterEventHandler(Linux::IEventHandler* handler) {
  const auto before = handlers.size();
  std::erase_if(handlers, [&](const auto& h) { return h.first == handler; });
  return handlers.size() < before ? kResultOk : kInvalidArgument;
}
tresult Host::registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval ms) {
  timers.emplace_back(handler, ms);
  return kResultOk;
}
tresult Host::unregisterTimer(Linux::ITimerHandler* handler) {
  const auto before = timers.size();
  std::erase_if(timers, [&](const auto& t) { return t.first == handler; });
  return timers.size() < before ? kResultOk : kInvalidArgument;
}

// ---- Stream

tresult Stream::queryInterface(const TUID id, void** obj) {
  *obj = nullptr;
  if (SameUid(id, FUnknown::iid) || SameUid(id, IBStream::iid)) {
    *obj = static_cast<IBStream*>(this);
    ++refs;
    return kResultOk;
  }
  return kNoInterface;
}

tresult Stream::read(void* buffer, int32_t numBytes, int32_t* numBytesRead) {
  if (numBytes < 0) return kInvalidArgument;
  const std::size_t n =
      std::min({static_cast<std::size_t>(numBytes), piece_, bytes.size() - std::min(position, bytes.size())});
  if (n > 0) std::memcpy(buffer, bytes.data() + position, n);
  position += n;
  if (numBytesRead != nullptr) *numBytesRead = static_cast<int32_t>(n);
  return kResultOk;
}

tresult Stream::write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) {
  if (numBytes < 0) return kInvalidArgument;
  const std::size_t n = std::min(static_cast<std::size_t>(numBytes), piece_);
  if (bytes.size() < position + n) bytes.resize(position + n);
  std::memcpy(bytes.data() + position, buffer, n);
  position += n;
  if (numBytesWritten != nullptr) *numBytesWritten = static_cast<int32_t>(n);
  return kResultOk;
}

tresult Stream::seek(int64_t pos, int32_t mode, int64_t* result) {
  int64_t base = mode == kIBSeekSet ? 0 : mode == kIBSeekCur ? static_cast<int64_t>(position) : static_cast<int64_t>(bytes.size());
  if (base + pos < 0) return kInvalidArgument;
  position = static_cast<std::size_t>(base + pos);
  if (result != nullptr) *result = static_cast<int64_t>(position);
  return kResultOk;
}

tresult Stream::tell(int64_t* pos) {
  if (pos == nullptr) return kInvalidArgument;
  *pos = static_cast<int64_t>(position);
  return kResultOk;
}

// ---- Parameter changes

tresult Queue::getPoint(int32_t index, int32_t& sampleOffset, ParamValue& value) {
  if (index < 0 || static_cast<std::size_t>(index) >= points_.size()) return kInvalidArgument;
  sampleOffset = points_[static_cast<std::size_t>(index)].first;
  value = points_[static_cast<std::size_t>(index)].second;
  return kResultOk;
}

tresult Queue::addPoint(int32_t sampleOffset, ParamValue value, int32_t& index) {
  index = static_cast<int32_t>(points_.size());
  points_.emplace_back(sampleOffset, value);
  return kResultOk;
}

IParamValueQueue* Changes::getParameterData(int32_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < queues_.size() ? &queues_[static_cast<std::size_t>(index)]
                                                                        : nullptr;
}

IParamValueQueue* Changes::addParameterData(const ParamID& id, int32_t& index) {
  for (std::size_t i = 0; i < queues_.size(); ++i) {
    if (queues_[i].getParameterId() == id) {
      index = static_cast<int32_t>(i);
      return &queues_[i];
    }
  }
  index = static_cast<int32_t>(queues_.size());
  return &queues_.emplace_back(id);
}

void Changes::Add(ParamID id, int32_t offset, double value) {
  int32_t index = 0, point = 0;
  addParameterData(id, index)->addPoint(offset, value, point);
}

// ---- Instance

Instance::Instance(const Module& module, Host& host, const Uid& cid) {
  if (!module.ok()) return;
  void* obj = nullptr;
  if (module.factory()->createInstance(cid.bytes, IComponent::iid.bytes, &obj) != kResultOk || obj == nullptr) return;
  component_ = Ref<IComponent>::Adopt(static_cast<IComponent*>(obj));
  if (component_->initialize(host.context()) != kResultOk) return;
  processor_ = QueryInterface<IAudioProcessor>(component_.get());
  controller_ = QueryInterface<IEditController>(component_.get());
  if (controller_) controller_->setComponentHandler(&host);
  channels_ = SameUid(cid.bytes, kStereo) ? 2 : 1;
}

Instance::~Instance() {
  Deactivate();
  if (controller_) controller_->setComponentHandler(nullptr);
  if (component_) component_->terminate();
}

bool Instance::Activate(double rate, int32_t maxBlock) {
  if (!ok()) return false;
  SpeakerArrangement arr = channels_ == 2 ? SpeakerArr::kStereo : SpeakerArr::kMono;
  SpeakerArrangement outArr = arr;
  if (processor_->setBusArrangements(&arr, 1, &outArr, 1) != kResultTrue) return false;
  ProcessSetup setup{kRealtime, kSample32, maxBlock, rate};
  if (processor_->setupProcessing(setup) != kResultOk) return false;
  if (component_->setActive(1) != kResultOk) return false;
  active_ = true;
  return processor_->setProcessing(1) == kResultOk;
}

void Instance::Deactivate() {
  if (!active_) return;
  processor_->setProcessing(0);
  component_->setActive(0);
  active_ = false;
}

tresult Instance::Process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out, uint32_t offset,
                          uint32_t frames, IParameterChanges* changes, uint64_t inSilence, uint64_t* outSilence) {
  float* ip[2] = {nullptr, nullptr};
  float* op[2] = {nullptr, nullptr};
  for (uint32_t ch = 0; ch < channels_; ++ch) {
    ip[ch] = in[ch].data() + offset;
    op[ch] = out[ch].data() + offset;
  }
  AudioBusBuffers inBus{}, outBus{};
  inBus.numChannels = static_cast<int32_t>(channels_);
  inBus.silenceFlags = inSilence;
  inBus.channelBuffers32 = ip;
  outBus.numChannels = static_cast<int32_t>(channels_);
  outBus.channelBuffers32 = op;
  ProcessData data{};
  data.processMode = kRealtime;
  data.symbolicSampleSize = kSample32;
  data.numSamples = static_cast<int32_t>(frames);
  data.numInputs = 1;
  data.numOutputs = 1;
  data.inputs = &inBus;
  data.outputs = &outBus;
  data.inputParameterChanges = changes;
  const tresult result = processor_->process(data);
  if (outSilence != nullptr) *outSilence = outBus.silenceFlags;
  return result;
}

void Instance::Render(const std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out, uint32_t block,
                      IParameterChanges* first) {
  std::vector<std::vector<float>> input = in;
  out.assign(in.size(), std::vector<float>(in[0].size()));
  const auto frames = static_cast<uint32_t>(in[0].size());
  for (uint32_t at = 0; at < frames; at += block) {
    const uint32_t n = std::min(block, frames - at);
    ASSERT_EQ(Process(input, out, at, n, at == 0 ? first : nullptr), kResultOk);
  }
}

bool Instance::Save(std::vector<uint8_t>& bytes, std::size_t piece) {
  Stream stream({}, piece);
  if (component_->getState(&stream) != kResultOk) return false;
  bytes = stream.bytes;
  return true;
}

bool Instance::Load(const std::vector<uint8_t>& bytes, std::size_t piece) {
  Stream stream(bytes, piece);
  if (component_->setState(&stream) != kResultOk) return false;
  Stream again(bytes, piece);
  return controller_->setComponentState(&again) == kResultOk;
}

std::string Instance::Text(ParamID id, double normalised) {
  String128 text{};
  if (controller_->getParamStringByValue(id, normalised, text) != kResultOk) return "<none>";
  return Narrow(text);
}

}  // namespace qrv::vst3::test
