// A VST3 host of the tests' own: loads the built module with dlopen (ModuleEntry, GetPluginFactory,
// ModuleExit) and drives its plug-ins as a host does, on the calling thread. Its host objects (context,
// component handler, plug frame with a run loop, streams, parameter changes) record what the plug-in asks.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "format/vst3/Vst3Abi.h"

namespace qrv::vst3::test {

using namespace qrv::vst3::abi;

inline constexpr Uid kMono = MakeUid(0xCD0EB5F5, 0x359C4F70, 0xBCAC53AB, 0xE86077B4);
inline constexpr Uid kStereo = MakeUid(0xFAA7827A, 0x2D5B4346, 0xAE2306C8, 0x0D49366D);
// Parameter ids: the controls 0..6 (the CLAP ids), then these.
inline constexpr ParamID kBypassId = 7;
inline constexpr ParamID kHighQualityId = 8;
inline constexpr ParamID kProgramId = 100;

// The module: loaded, ModuleEntry (InitDll on Windows) and the factory; ModuleExit (ExitDll) at the end (never unloaded, as most hosts
// keep a module: the editor's libraries keep load-time tables LeakSanitizer would report).
class Module {
 public:
  explicit Module(const std::string& path = QRV_VST3_MODULE);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  bool ok() const { return factory_ != nullptr; }
  const std::string& error() const { return error_; }
  void* handle() const { return handle_; }
  IPluginFactory* factory() const { return factory_; }
  template <class I>
  Ref<I> Factory() const {
    return QueryInterface<I>(factory_);
  }

 private:
  void* handle_ = nullptr;
  IPluginFactory* factory_ = nullptr;
  bool entered_ = false;
  std::string error_;
};

// Everything a host object is to the plug-in, in one: context, component handler, plug frame and run loop.
// It lives on the test's stack; references are counted but never delete it.
class Host final : public IHostApplication, public IComponentHandler, public IPlugFrame, public Linux::IRunLoop {
 public:
  tresult queryInterface(const TUID id, void** obj) override;
  uint32_t addRef() override { return ++refs; }
  uint32_t release() override { return --refs; }
  tresult getName(String128 name) override;
  tresult createInstance(TUID, TUID, void** obj) override {
    if (obj) *obj = nullptr;
    return kNotImplemented;
  }
  tresult beginEdit(ParamID id) override;
  tresult performEdit(ParamID id, ParamValue value) override;
  tresult endEdit(ParamID id) override;
  tresult restartComponent(int32_t flags) override {
    restarts.push_back(flags);
    return kResultOk;
  }
  tresult resizeView(IPlugView* view, ViewRect* newSize) override;
  tresult registerEventHandler(Linux::IEventHandler* handler, Linux::FileDescriptor fd) override;
  tresult unregisterEventHandler(Linux::IEventHandler* handler) override;
  tresult registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval ms) override;
  tresult unregisterTimer(Linux::ITimerHandler* handler) override;

  FUnknown* context() { return static_cast<IHostApplication*>(this); }

  struct Edit {
    char kind;  // 'b'egin, 'v'alue, 'e'nd
    ParamID id;
    double value;
  };
  uint32_t refs = 1;
  bool offerRunLoop = true;
  std::vector<Edit> edits;
  std::vector<int32_t> restarts;
  std::vector<std::pair<int32_t, int32_t>> resizes;
  std::vector<std::pair<Linux::IEventHandler*, int>> handlers;
  std::vector<std::pair<Linux::ITimerHandler*, uint64_t>> timers;
};

// A stream over bytes that moves at most `piece` bytes per call.
class Stream final : public IBStream {
 public:
  explicit Stream(std::vector<uint8_t> content = {}, std::size_t piece = 1u << 30)
      : bytes(std::move(content)), piece_(piece) {}
  tresult queryInterface(const TUID id, void** obj) override;
  uint32_t addRef() override { return ++refs; }
  uint32_t release() override { return --refs; }
  tresult read(void* buffer, int32_t numBytes, int32_t* numBytesRead) override;
  tresult write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) override;
  tresult seek(int64_t pos, int32_t mode, int64_t* result) override;
  tresult tell(int64_t* pos) override;

  std::vector<uint8_t> bytes;
  std::size_t position = 0;
  uint32_t refs = 1;

 private:
  std::size_t piece_;
};

class Queue final : public IParamValueQueue {
 public:
  explicit Queue(ParamID id) : id_(id) {}
  tresult queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32_t addRef() override { return 1; }
  uint32_t release() override { return 1; }
  ParamID getParameterId() override { return id_; }
  int32_t getPointCount() override { return static_cast<int32_t>(points_.size()); }
  tresult getPoint(int32_t index, int32_t& sampleOffset, ParamValue& value) override;
  tresult addPoint(int32_t sampleOffset, ParamValue value, int32_t& index) override;

 private:
  ParamID id_;
  std::vector<std::pair<int32_t, double>> points_;
};

// One block's parameter changes, one queue per parameter, points in the order added.
class Changes final : public IParameterChanges {
 public:
  tresult queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32_t addRef() override { return 1; }
  uint32_t release() override { return 1; }
  int32_t getParameterCount() override { return static_cast<int32_t>(queues_.size()); }
  IParamValueQueue* getParameterData(int32_t index) override;
  IParamValueQueue* addParameterData(const ParamID& id, int32_t& index) override;
  void Add(ParamID id, int32_t offset, double value);

 private:
  std::deque<Queue> queues_;
};

// One plug-in created, initialised, given the host's handler and terminated with the object.
class Instance {
 public:
  Instance(const Module& module, Host& host, const Uid& cid);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool ok() const { return component_ && processor_ && controller_; }
  IComponent* component() const { return component_.get(); }
  IAudioProcessor* processor() const { return processor_.get(); }
  IEditController* controller() const { return controller_.get(); }
  uint32_t channels() const { return channels_; }

  // Arrangement, setup, setActive(true), setProcessing(true).
  bool Activate(double rate, int32_t maxBlock = 4096);
  void Deactivate();
  // Planar in and out (in place when they are the same), from offset for frames; the process result.
  tresult Process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out, uint32_t offset,
                  uint32_t frames, IParameterChanges* changes = nullptr, uint64_t inSilence = 0,
                  uint64_t* outSilence = nullptr);
  // Whole buffers in blocks; `first` goes with the first block.
  void Render(const std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out, uint32_t block,
              IParameterChanges* first = nullptr);
  bool Save(std::vector<uint8_t>& bytes, std::size_t piece = 7);
  bool Load(const std::vector<uint8_t>& bytes, std::size_t piece = 5);
  std::string Text(ParamID id, double normalised);

 private:
  Ref<IComponent> component_;
  Ref<IAudioProcessor> processor_;
  Ref<IEditController> controller_;
  uint32_t channels_ = 0;
  bool active_ = false;
};

// UTF-16 <-> ASCII for the tests' strings.
std::string Narrow(const TChar* text);
std::vector<TChar> Wide(const std::string& text);

}  // namespace qrv::vst3::test
