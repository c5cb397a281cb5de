// The whole editor (panel, preset bar, browser, save dialog, zoom) in a top-level window of its own,
// for `warmglow live`: the editor session's edits turned into edits of the instance's values, which the
// audio thread picks up at its next block. The preset bar works on the instance's own PresetManager.
//
// Threads: everything here runs on the main thread.
#pragma once

#include <string>

#include "controller/InstancePresets.h"
#include "gui/editor/EditorSession.h"
#include "gui/editor/QRVEditorHost.h"

namespace qrv::jack {

class LiveEngine;

class LiveEditor final : public Quarrytone::QRVEditorHost {
 public:
  LiveEditor(InstancePresets& presets, InstanceValues& values, LiveEngine& engine);
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

  // ---- Quarrytone::QRVEditorHost: the session's reports. The window is its own host: it sizes itself.
  void beginEdit(int) override {}
  void endEdit(int) override {}
  void setValue(int index, double value) override;
  void resizeRequest(int, int) override {}
  // For this run; the main loop hands the new latency to JACK.
  int highQuality() override;
  void setHighQuality(bool on) override;

 private:
  InstancePresets& presets_;
  InstanceValues& values_;
  LiveEngine& engine_;
  bool closeRequested_ = false;
  Quarrytone::EditorSession session_;
};

}  // namespace qrv::jack
