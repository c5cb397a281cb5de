// The LV2 UI's editor: the editor session (the window with its preset bar) embedded in the host's
// parent window, and the host's UI callbacks behind the session's host seam. The editor's knob and switch edits leave as
// port writes in port units, bracketed by ui:touch gestures; port events from the host move the
// controls and the gain-reduction output drives the needle; zoom and browser sizes are asked of the
// host through ui:resize. The preset bar works on the instance's PresetManager, reached through
// instance-access: preset loads, A/B, undo and the rest reach the host as port writes, port events
// reach the preset state as external edits, and a host's state restore refreshes the bar.
//
// Threads: everything here runs on the host's UI thread (instantiation, port_event, idle, cleanup).
// Each of those entry points holds the process-wide PresetLock while it works, so that the bar never
// runs beside the host's state save or restore. No call into the host is made under it: a host whose
// port write waits on its own state-save thread, which waits on the lock, would deadlock. What the
// window asks of the host meanwhile (port writes, touch brackets, size requests) is queued on the UI
// thread and sent, in order, once the lock is released.
#pragma once

#include <lv2/ui/ui.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "format/lv2/Lv2InstanceAccess.h"
#include "gui/editor/EditorSession.h"
#include "gui/editor/QRVEditorHost.h"

namespace qrv::lv2 {

// What the host gave the UI at instantiation; any pointer but write may be null.
struct Lv2UiHost {
  LV2UI_Write_Function write = nullptr;
  LV2UI_Controller controller = nullptr;
  const LV2UI_Touch* touch = nullptr;
  const LV2UI_Resize* resize = nullptr;
  // The plug-in instance (instance-access); without it the preset bar has no PresetManager.
  Lv2InstanceAccess* instance = nullptr;
};

// The zoom a new window opens at (EditorSession::StartingZoom).
double StartingZoom(float hostScaleFactor);

class Lv2UiEditor final : public Quarrytone::QRVEditorHost {
 public:
  explicit Lv2UiEditor(const Lv2UiHost& host);
  ~Lv2UiEditor() override;

  // Opens the window inside parent (0: a top-level window) at the given zoom and tells the host its
  // size. False without an X display.
  bool OpenIn(unsigned long parent, double zoom);
  // The X window the host embeds; 0 while closed.
  unsigned long Widget() const;

  // A port event in the float protocol; other protocols and unknown ports are ignored.
  void PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  // One idle call of the host: X events, due timers (the shared 33 ms tick) and repaints.
  void Idle();

  // ---- Quarrytone::QRVEditorHost: the session's reports (a preset value's port write comes under the lock)
  void beginEdit(int tag) override;
  void endEdit(int tag) override;
  void setValue(int index, double value) override;
  void resizeRequest(int width, int height) override;
  // Through instance-access; not offered without it.
  int highQuality() override { return host_.instance != nullptr ? (host_.instance->HighQuality() ? 1 : 0) : -1; }
  void setHighQuality(bool on) override {
    if (host_.instance != nullptr) host_.instance->SetHighQuality(on);
  }

 private:
  // One call into the host, kept until the lock is released.
  struct HostCall {
    enum Kind { kWrite, kGrab, kRelease, kResize } kind;
    uint32_t port;  // write, grab, release
    float value;    // write
    int width, height;  // resize
  };
  // Holds the PresetLock for an entry point; on leaving, releases it and then sends what was queued.
  class Locked {
   public:
    explicit Locked(Lv2UiEditor& editor);
    ~Locked();
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

   private:
    Lv2UiEditor& editor_;
    std::optional<PresetLock> lock_;
  };

  void Touch(int tag, bool grabbed);
  void WritePort(uint32_t port, float value);
  // Queues the call while an entry point holds the lock, else sends it.
  void Call(const HostCall& call);
  void Send(const HostCall& call);
  void Flush();

  Lv2UiHost host_;
  std::vector<HostCall> queue_;  // reserved at construction; UI thread only
  bool locked_ = false;
  bool flushing_ = false;
  Quarrytone::EditorSession session_;
};

}  // namespace qrv::lv2
