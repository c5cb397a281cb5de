// One plug-in instance inside the host simulator: the three objects from the factory procedures, the
// render context allocated from the component's description, packet ports, automation with touch state,
// meters, latency, transport, chunks, notifications and a view container.
//
// Threads, as a real host uses them:
// - main thread: parameters, automation, chunks, notifications, the view and the GUI timer wake-up
//   (everything not listed below);
// - audio thread: RenderBlock (Render/BeginRender start one of their own);
// - direct-data timer thread: TimerWakeup (StartTimer starts one of its own).
// A render call and a timer wake-up of the same instance never overlap: both hold the instance's
// private-data lock, which is the host's, not the plug-in's.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "format/aax/host/AAXHostDescription.h"

namespace qrv::aaxhost {

class Instance {
 public:
  static constexpr int32_t kDefaultMaxBlock = 4096;
  static constexpr int kMaxChannels = 24;

  Instance(const EffectRecord& effect, const ComponentRecord& component, float sampleRate, int32_t maxBlock);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  // Factories, initialisation, field reset and the first packets; false when a factory fails.
  bool Create();

  int Channels() const { return channels_; }
  int32_t MaxBlock() const { return maxBlock_; }
  AAX_IEffectParameters* dataModel() const { return dataModel_; }
  AAX_IEffectDirectData* directData() const { return directData_; }
  AAX_IEffectGUI* gui() const { return gui_; }
  const ComponentRecord& component() const { return component_; }

  // ---- parameters (main thread) ----
  std::vector<std::string> ParameterIDs() const;
  double ParameterValue(const std::string& id) const;
  AAX_Result ValueString(const std::string& id, double value, std::string* text, uint32_t maxLength = 31) const;
  // Host-side change (automation playback, control surface, chunk): update, then the packets.
  AAX_Result SetParameter(const std::string& id, double value, int32_t source = AAX_eUpdateSource_Unspecified);
  void Touch(const std::string& id);
  void Release(const std::string& id);
  // Delivers the plug-in's queued set requests as updates, then sends the packets; the number delivered.
  int PumpUpdates();
  struct SetRequest {
    std::string id;
    double value;
    bool touched;
  };
  // Every set request the plug-in made, in order (acknowledged ones included).
  const std::vector<SetRequest>& setRequests() const { return requests_; }
  struct Packet {
    AAX_CFieldIndex port;
    uint32_t bits;
  };
  const std::vector<Packet>& packets() const { return packets_; }
  void ClearLogs();
  // The last packet posted to a port, as float and as integer.
  float PortFloat(AAX_CFieldIndex port) const;
  int32_t PortInt(AAX_CFieldIndex port) const;

  // ---- chunks and notifications (main thread) ----
  struct Chunk {
    AAX_CTypeID id = 0;
    int32_t version = 0;
    std::string name;
    std::vector<uint8_t> data;
  };
  AAX_Result ChunkIDs(std::vector<AAX_CTypeID>* ids) const;
  AAX_Result SaveChunk(AAX_CTypeID id, Chunk* chunk);
  AAX_Result RestoreChunk(const Chunk& chunk);
  AAX_Result CompareChunk(const Chunk& chunk, bool* equal);
  AAX_Result Notify(AAX_CTypeID type, const void* data = nullptr, uint32_t size = 0);

  // ---- audio ----
  // Taken at the next block; any thread.
  void SetSampleRate(float rate) { sampleRate_.store(rate); }
  void SetTransport(double tempo, bool playing, int64_t ticks, int64_t samplePosition);
  // One render call on the calling thread (the audio thread). in and out hold Channels() pointers;
  // frames is limited to MaxBlock(). Allocates nothing.
  void RenderBlock(const float* const* in, float* const* out, int32_t frames);
  // Whole buffers (one vector per channel) rendered on an audio thread of its own, in blocks cycling
  // through blockSizes. BeginRender returns at once (in and out must live until WaitRender); WaitRender
  // joins.
  void Render(const std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
              const std::vector<int32_t>& blockSizes);
  void BeginRender(const std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                   const std::vector<int32_t>& blockSizes);
  void WaitRender();
  int64_t BlocksRendered() const { return blocks_.load(); }

  // ---- direct data ----
  AAX_Result TimerWakeup();
  void StartTimer(std::chrono::microseconds period);
  void StopTimer();
  // A test may make reads or writes of one private-data field fail with `result` (0 clears).
  void FailPrivateDataAccess(AAX_CFieldIndex field, AAX_Result result);
  // Where a private-data field lives, for in-process tests that inspect what the plug-in built there;
  // only between render calls.
  void* PrivateDataPointer(AAX_CFieldIndex field);
  // A copy of private data, taken between render calls.
  bool ReadPrivateData(AAX_CFieldIndex field, uint32_t offset, uint32_t size, void* out);
  // Where the direct-data object wrote private data, once a test switched the record on; any thread.
  struct PrivateWrite {
    AAX_CFieldIndex field;
    uint32_t offset;
    uint32_t size;
  };
  void RecordPrivateWrites(bool on);
  std::vector<PrivateWrite> PrivateWrites();

  // ---- what the plug-in told the host ----
  int32_t HostLatency() const { return latency_.load(); }
  // What the host assumes before the plug-in reports anything (0 unless a test sets another).
  void SetAssumedLatency(int32_t samples) { latency_.store(samples); }
  bool LatencyReported() const { return latencyReported_.load(); }
  // The last value the render call left in a meter (the host resets its copy after every block).
  float MeterValue(AAX_CTypeID id) const;
  float MeterValueAt(std::size_t position) const;
  // Leaves a meter value as if the last block had written it (main thread, between blocks): for the
  // values a render hardly ever leaves, such as the "no value" mark.
  bool PresentMeterValue(AAX_CTypeID id, float value);

  // ---- view (main thread) ----
  // Hosts make the GUI object when the plug-in's window is opened and destroy it (view detached,
  // uninitialised, deleted) when it is closed, while the data model lives on. Create() makes the first.
  bool CreateGUI();
  void DestroyGUI();
  AAX_Result AttachView(int32_t type, void* window);
  AAX_Result DetachView();
  bool ViewAttached() const { return view_ != nullptr; }
  std::pair<double, double> LastViewSize() const { return viewSize_; }
  // Called when the plug-in asks the view to take a new size.
  void SetViewSizeHandler(std::function<void(double width, double height)> handler) {
    viewSizeHandler_ = std::move(handler);
  }
  struct MouseDown {
    std::string id;
    uint32_t modifiers;
  };
  // Every parameter mouse-down the plug-in offered the view, in order.
  const std::vector<MouseDown>& mouseDowns() const { return mouseDowns_; }
  // The host's periodic GUI call.
  AAX_Result GuiTimerWakeup();
  AAX_Result NotifyView(AAX_CTypeID type, const void* data, uint32_t size);
  // Called with every parameter value the host delivers to the data model (its own changes and the
  // plug-in's set requests), in order, before the GUI object hears of it.
  void SetUpdateListener(std::function<void(const std::string& id, double value)> listener) {
    updateListener_ = std::move(listener);
  }

 private:
  class HostObject;
  class Controller;
  class Automation;
  class PrivateAccess;
  class MIDINode;
  class ViewContainer;
  friend class Controller;
  friend class Automation;
  friend class PrivateAccess;

  struct PrivateField {
    AAX_CFieldIndex index;
    uint32_t size;
    std::unique_ptr<std::max_align_t[]> memory;
    void* data() const { return memory.get(); }
  };
  PrivateField* FindPrivate(AAX_CFieldIndex field);
  void RenderLocked(const float* const* in, float* const* out, int32_t frames);
  AAX_Result DeliverUpdate(const std::string& id, double value, int32_t source);

  EffectRecord effect_;
  ComponentRecord component_;
  int channels_;
  int32_t maxBlock_;

  AAX_IEffectParameters* dataModel_ = nullptr;
  AAX_IEffectDirectData* directData_ = nullptr;
  AAX_IEffectGUI* gui_ = nullptr;
  std::unique_ptr<HostObject> hostObject_;
  std::unique_ptr<Controller> controller_;
  std::unique_ptr<Automation> automation_;
  std::unique_ptr<PrivateAccess> privateAccess_;
  std::unique_ptr<MIDINode> midiInput_, transport_;
  std::unique_ptr<ViewContainer> view_;

  // The render context and what its fields point to.
  std::vector<void*> context_;
  std::vector<AAX_CFieldIndex> ports_;
  std::unique_ptr<uint32_t[]> portMemory_;            // one slot per context field
  std::unique_ptr<std::atomic<uint32_t>[]> posted_;   // last packet per context field
  std::array<std::vector<float>, kMaxChannels> inBuffers_, outBuffers_;
  std::array<float*, kMaxChannels> inPointers_{}, outPointers_{};
  int32_t bufferLength_ = 0;
  float contextRate_ = 0.0f;
  std::vector<float> meters_;
  std::unique_ptr<std::atomic<float>[]> meterValues_;
  std::vector<PrivateField> private_;
  std::map<AAX_CFieldIndex, AAX_Result> privateFaults_;
  bool recordWrites_ = false;
  std::vector<PrivateWrite> privateWrites_;
  std::mutex privateLock_;  // render call vs timer wake-up

  std::atomic<float> sampleRate_;
  std::atomic<int32_t> latency_{0};
  std::atomic<bool> latencyReported_{false};
  std::atomic<int64_t> blocks_{0};

  // Automation, main thread.
  std::map<std::string, int> touches_;
  std::deque<SetRequest> queue_;
  std::optional<SetRequest> delivering_;
  std::vector<SetRequest> requests_;
  std::vector<Packet> packets_;

  std::thread audioThread_, timerThread_;
  std::atomic<bool> timerRunning_{false};
  std::pair<double, double> viewSize_{0.0, 0.0};
  std::function<void(double, double)> viewSizeHandler_;
  std::vector<MouseDown> mouseDowns_;
  std::function<void(const std::string&, double)> updateListener_;
};

}  // namespace qrv::aaxhost
