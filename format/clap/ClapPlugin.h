// One CLAP plug-in instance: the host's calls and events translated to the instance core (engine,
// values, preset side).
//
// Threads, as CLAP assigns them: construction, Init, Activate, Deactivate, the parameter queries and
// state run on the host's main thread; StartProcessing, StopProcessing, Reset and Process on its audio
// thread; Flush on the audio thread while active, else on the main thread, never beside Process.
// Process allocates nothing, takes no lock and makes no system call. Main-thread calls are checked
// against the host's thread-check (a host call each; none of them is hot) and reported through its log.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "controller/InstanceCore.h"
#include "format/clap/ClapAbi.h"
#include "format/clap/ClapParams.h"

namespace qrv::clap {

class ClapEditor;

class ClapPlugin {
 public:
  ClapPlugin(Layout layout, const clap_plugin_descriptor_t* descriptor, const clap_host_t* host);
  ~ClapPlugin();
  ClapPlugin(const ClapPlugin&) = delete;
  ClapPlugin& operator=(const ClapPlugin&) = delete;

  const clap_plugin_t* clap() const { return &plugin_; }
  static ClapPlugin* From(const clap_plugin_t* plugin) { return static_cast<ClapPlugin*>(plugin->plugin_data); }
  Layout layout() const { return layout_; }

  bool Init();
  bool Activate(double sampleRate);
  void Deactivate();
  void Reset() { core_.RequestReset(); }
  clap_process_status Process(const clap_process_t& process);
  const void* Extension(const char* id) const;

  // params
  bool GetValue(clap_id id, double& value) const;
  void Flush(const clap_input_events_t* in, const clap_output_events_t* out);
  // state
  bool SaveState(const clap_ostream_t* stream);
  bool LoadState(const clap_istream_t* stream);
  // preset-load: the preset becomes the instance's as the bar loads it (a factory preset by number and
  // name, a user file by name, unmodified, one undo step); false, with the host told why, for a location
  // that names no preset.
  bool LoadPreset(uint32_t kind, const char* location, const char* loadKey);
  // latency: the frames the instance runs late with High quality as set.
  uint32_t Latency() const { return core_.Latency(); }
  // audio-ports
  uint32_t AudioPortCount() const { return 1; }
  bool AudioPortInfo(uint32_t index, bool isInput, clap_audio_port_info_t& info) const;

  // Reports a host that calls a main-thread function elsewhere. Never called on the audio thread.
  void CheckMainThread(const char* function) const;
  void Log(clap_log_severity severity, const char* message) const;

  // ---- The editor's side [main].
  const clap_host_t* host() const { return host_; }
  InstancePresets& state() { return core_.presets(); }
  std::unique_ptr<ClapEditor>& editor() { return editor_; }
  // An edit of the editor for the host: a gesture's begin or end, or a value (the slot's normalised
  // value). The value is the instance's at once; the engine and the host learn it at the next process
  // or flush, which the host is asked for.
  void EditGesture(clap_id id, bool begin);
  void EditValue(unsigned slot, double normalised);
  // High quality switched in the editor: the instance's at once (a restart is asked for while active),
  // and the host learns the parameter's value at the next process or flush.
  void EditHighQuality(bool on);
  bool HighQuality() const { return core_.highQuality(); }
  double Normalised(unsigned slot) const { return core_.Value(slot); }
  // The engine's gain-reduction reading after the last block (1 - gain).
  double MeterReading() const { return core_.MeterReading(); }
  uint32_t LoadCount() const { return loads_.load(std::memory_order_acquire); }

 private:
  // High quality from the host, a state or the editor; a change while active asks the host for a restart,
  // since the latency changes with it. Any thread.
  void SetHighQuality(bool on);
  // A parameter event (other events are not ours): the value, and when inBlock, the engine at once.
  void ApplyEvent(const clap_event_header_t& event, bool inBlock);
  void ProcessFrames(const clap_process_t& process, uint32_t offset, uint32_t count);
  // Hands the editor's queued edits to the host.
  void SendEdits(const clap_output_events_t* out);

  clap_plugin_t plugin_;
  const clap_host_t* host_;
  Layout layout_;
  const clap_host_log_t* hostLog_ = nullptr;
  const clap_host_thread_check_t* hostThreadCheck_ = nullptr;
  const clap_host_params_t* hostParams_ = nullptr;
  const clap_host_preset_load_t* hostPresetLoad_ = nullptr;
  const clap_host_latency_t* hostLatency_ = nullptr;
  uint32_t activatedLatency_ = 0;  // [main] the latency of the last activation

  InstanceCore core_;
  std::atomic<bool> active_{false};
  // Counts loaded states, for the editor.
  std::atomic<uint32_t> loads_{0};

  // The editor's edits for the host, main thread to the thread that processes or flushes: a
  // single-producer, single-consumer ring (process and flush never overlap). The values themselves are
  // the core's at once.
  struct Edit {
    uint16_t type;  // CLAP_EVENT_PARAM_VALUE or a gesture
    clap_id id;
    double value;   // plain
  };
  static constexpr uint32_t kEditRing = 256;
  std::array<Edit, kEditRing> edits_{};
  std::atomic<uint32_t> editsWritten_{0};
  std::atomic<uint32_t> editsRead_{0};
  std::unique_ptr<ClapEditor> editor_;
};

}  // namespace qrv::clap
