// One editor as a host binding shows it: the window (V4 with the preset bar) and everything a binding
// would otherwise repeat around it. The seam runs both ways. Out: the binding's QRVEditorHost hears the
// user's grabs and releases, the values of control slots to send to its host (an edit in the window or a
// value the preset state sets) and the window's new sizes (never while a resize is deferred, while the
// window is closed or while it opens), and the instance's High quality the configuration shows and
// switches (where the binding's host offers it). In: the session's own calls for a host value, a meter reading, a
// preset value (PresetValueSink), a restore, an idle tick, a host scale, the size, open and close.
//
// The session keeps the preset side in step: an edit in the window reaches the attached PresetManager and
// the bar as well as the host; a host value reaches the manager as an external edit without going back to
// the host; messages the window sends (about box, browser) come back to it as the host's echo. The shared
// fonts and images live while any session of the module does.
//
// Threads: the host's GUI thread only. PresetValue may come while the binding holds the preset lock; what
// the session then asks of the binding must not reach the host under that lock (the binding queues it).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "controller/InstancePresets.h"
#include "gui/editor/EditorWrapperV4.h"
#include "gui/editor/QRVEditorHost.h"
#include "gui/engine/EditorLayout.h"

namespace qrv {
class PresetManager;
}

namespace Quarrytone {

class EditorSession final : public qrv::PresetValueSink, private QRVEditorHost {
 public:
  // host hears the window's reports for the session's whole life.
  EditorSession(ProductEditorFactory product, QRVPresetBarFactory bar, QRVEditorHost& host);
  ~EditorSession() override;
  EditorSession(const EditorSession&) = delete;
  EditorSession& operator=(const EditorSession&) = delete;

  // The zoom a new window opens at: the stored zoom when there is one, else the host's scale factor
  // (limited as every zoom is) when it offers one (above 0), else 1.
  static double StartingZoom(double hostScale = 0.0);
  // The window's size in device pixels at a zoom (limited first): what it takes when it opens.
  static layout::PixelSize WindowSize(double zoom);
  // Whether an X display can be opened at all ($DISPLAY set and reachable).
  static bool DisplayAvailable();
  // The shared X connection's descriptor for a host that polls it; -1 while none is open.
  static int ConnectionFd();

  // The instance's preset state (null: none); the bar made at the next Open works on it.
  void AttachPresets(qrv::PresetManager* manager);

  // Opens the window inside parent (0: a top-level window of its own) at Zoom(), then tells the host
  // its size once. False when no window could be made (no X display) or it is open already.
  bool Open(unsigned long parent, tk::PlatformType type = tk::PlatformType::X11);
  void Close();
  bool IsOpen() const { return window_.isOpen(); }
  // The X window the host embeds; 0 while closed or not on X11.
  unsigned long Widget() const;
  // A top-level window's title and what to do when its window manager asks to close it.
  void SetTitle(const std::string& title);
  void OnCloseRequest(std::function<void()> handler);

  // The host's scale factor: the zoom the window opens at, and takes now when it is open. False for a
  // factor that is not a positive number.
  bool SetScale(double scale);
  // The zoom the window has (the user may have chosen another) or will open at.
  double Zoom() const;
  // The window's size in device pixels, the same before and after it opens at a zoom.
  layout::PixelSize Size() const;

  // A control slot's value as the window should show it without it being an edit: the instance's
  // values when the window opens. Neither host nor preset state hears of it.
  void ShowValue(int slot, double value);
  // A value the host set (automation, a generic UI, its own preset): the preset state takes it as an
  // external edit and the window shows it. A value the window shows already is left alone. Other
  // indices go to the window only.
  void HostValue(int index, double value);
  // The engine's gain-reduction reading for the needle.
  void Meter(double reading);
  // The host restored the instance's state: the bar reads the whole preset state again.
  void Restored();
  // The host's count of restores: Restored when it moved since the last call; the first call notes it.
  void RestoreCount(std::uint32_t count);
  // One idle tick: X events, due timers (the shared 33 ms idle), deferred updates and repaints, waiting
  // up to timeoutMs for events.
  void Idle(int timeoutMs = 0);

  // PresetValueSink: a value the preset state sets (a preset the bar loads, A/B, undo). The host hears
  // a control slot's value; the panel follows at once, the bar when its action is done.
  void PresetValue(int index, double value) override;

  // The window itself, for tests that drive it on a headless frame.
  QRVVSTGUIEditorWrapperV4_PresetBar& window() { return window_; }

 private:
  // QRVEditorHost: the window's reports, passed on to the binding's host.
  void beginEdit(int tag) override { host_.beginEdit(tag); }
  void endEdit(int tag) override { host_.endEdit(tag); }
  void setValue(int index, double value) override;
  void resizeRequest(int width, int height) override;
  int highQuality() override { return host_.highQuality(); }
  void setHighQuality(bool on) override { host_.setHighQuality(on); }

  QRVEditorHost& host_;
  QRVVSTGUIEditorWrapperV4_PresetBar window_;
  qrv::PresetManager* manager_ = nullptr;
  double zoom_;
  bool topLevel_ = false;
  bool opening_ = false;
  std::optional<std::uint32_t> restoresSeen_;
  // What the window shows of each control slot (NaN: nothing yet), so that a host's echo of it is no edit.
  std::array<double, qrv::kPresetValueCount> shown_;
};

}  // namespace Quarrytone
