// The whole editor (panel, preset bar, browser, save dialog, zoom) in a top-level window of its own,
// for `warmglow live`: the window's host seam turned into edits of the instance's values, which the
// audio thread picks up at its next block. The preset bar works on the instance's own PresetManager.
//
// Threads: everything here runs on the main thread.
#pragma once

#include <array>
#include <string>

#include "controller/InstancePresets.h"
#include "gui/editor/EditorWrapperV4.h"
#include "gui/editor/QRVEditorHost.h"

namespace qrv::jack {

class LiveEngine;

class LiveEditor final : public Quarrytone::QRVEditorHost, public PresetValueSink {
 public:
  LiveEditor(InstancePresets& presets, InstanceValues& values, const LiveEngine& engine);
  ~LiveEditor() override;
  LiveEditor(const LiveEditor&) = delete;
  LiveEditor& operator=(const LiveEditor&) = delete;

  // Whether an X display can be opened at all ($DISPLAY set and reachable).
  static bool DisplayAvailable();

  // Opens the window with the title given; false without an X display.
  bool Open(const std::string& title);
  // Meter to the window, then X events, due timers and repaints, waiting up to timeoutMs for events.
  void Idle(int timeoutMs);
  bool closeRequested() const { return closeRequested_; }

  // ---- Quarrytone::QRVEditorHost
  void beginEdit(int) override {}
  void endEdit(int) override {}
  void setValue(int index, double value) override;
  void resizeRequest(int width, int height) override;
  // ---- PresetValueSink
  void PresetValue(int index, double value) override;

 private:
  InstancePresets& presets_;
  InstanceValues& values_;
  const LiveEngine& engine_;
  Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar window_;
  PresetManager* manager_ = nullptr;
  bool closeRequested_ = false;
};

}  // namespace qrv::jack
