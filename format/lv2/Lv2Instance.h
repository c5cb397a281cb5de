// One LV2 plug-in instance: the connected ports over the instance core (engine, values, preset state).
//
// Threads, as the LV2 core assigns them: the constructor, Activate and Deactivate run in the
// instantiation class (never concurrently with Run); ConnectPort and Run in the audio class. Run
// allocates nothing, takes no lock and makes no system call.
#pragma once

#include <array>
#include <cstdint>

#include "controller/HostControls.h"
#include "controller/InstanceCore.h"
#include "dsp/warmGlowEffect.h"
#include "format/lv2/Lv2InlineDisplay.h"
#include "format/lv2/Lv2State.h"

namespace qrv::lv2 {

// The instance is what the host's LV2_Handle points to, as its Lv2InstanceAccess base (Handle(),
// FromHandle()), so that the UI can reach it through instance-access.
class Lv2Instance final : public Lv2InstanceAccess {
 public:
  // map may be null; the instance then runs but refuses state. queue (the inline display's queue_draw)
  // may be null.
  Lv2Instance(hostcontrols::Layout layout, double sampleRate, const LV2_URID_Map* map,
              const InlineDisplayQueue* queue = nullptr);

  hostcontrols::Layout layout() const { return layout_; }
  void ConnectPort(uint32_t port, void* data);
  // The next Run applies every port and resets the engine before it processes.
  void Activate() { core_.RequestReset(); }
  void Run(uint32_t frames);

  warmGlowEffect& engine() { return core_.engine(); }
  Lv2State& state() { return state_; }
  Lv2InlineDisplay& inlineDisplay() { return inlineDisplay_; }

  void* Handle() { return static_cast<Lv2InstanceAccess*>(this); }
  static Lv2Instance* FromHandle(void* handle) {
    return static_cast<Lv2Instance*>(static_cast<Lv2InstanceAccess*>(handle));
  }

  // Lv2InstanceAccess, for the UI.
  PresetManager* AttachEditor(PresetValueSink* link) override { return state_.AttachEditor(link); }
  void DetachEditor(PresetValueSink* link) override { state_.DetachEditor(link); }
  uint32_t RestoreCount() const override { return state_.RestoreCount(); }
  bool HighQuality() const override { return core_.highQuality(); }
  void SetHighQuality(bool on) override { core_.SetHighQuality(on); }

 private:
  void ReadControls();
  float Peak(const float* const* channels, uint32_t frames) const;

  hostcontrols::Layout layout_;
  // The core's values are the port values last handed over, normalised, for state saves: unknown before
  // the first Run and after a restore, until Run hands the ports over again.
  InstanceCore core_;

  std::array<const float*, hostcontrols::kControlPorts.size()> controls_{};
  std::array<float, hostcontrols::kControlPorts.size()> read_{};  // port values last read
  Lv2State state_;
  Lv2InlineDisplay inlineDisplay_;
  const float* enabled_ = nullptr;
  float* latency_ = nullptr;
  float* gainReduction_ = nullptr;
  float* inputLevel_ = nullptr;
  float* outputLevel_ = nullptr;
  std::array<const float*, 2> inputs_{};
  std::array<float*, 2> outputs_{};
};

}  // namespace qrv::lv2
