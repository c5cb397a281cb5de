// The LV2 UI's editor window: the host-independent window (V4 with the preset-bar area) embedded in
// the host's parent window, with the host's UI callbacks. The editor's knob and switch edits leave as
// port writes in port units, bracketed by ui:touch gestures; port events from the host move the
// controls and the gain-reduction output drives the needle; zoom and browser sizes are asked of the
// host through ui:resize.
//
// Threads: everything here runs on the host's UI thread (instantiation, port_event, idle, cleanup).
#pragma once

#include <lv2/ui/ui.h>

#include <cstdint>

#include "gui/editor/EditorWrapperV4.h"

namespace qrv::lv2 {

// What the host gave the UI at instantiation; any pointer but write may be null.
struct Lv2UiHost {
  LV2UI_Write_Function write = nullptr;
  LV2UI_Controller controller = nullptr;
  const LV2UI_Touch* touch = nullptr;
  const LV2UI_Resize* resize = nullptr;
};

// The zoom a new window opens at: the stored zoom when there is one, else the host's scale factor
// (limited as every zoom is), else 1.
double StartingZoom(float hostScaleFactor);

class Lv2UiEditor final : public Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar {
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

  // ---- the window's reports
  void parameterChanged(int index, double value) override;
  void resizeEditor(int width, int height) override;
  void controlBeginEdit(tk::Control* control) override;
  void controlEndEdit(tk::Control* control) override;

 private:
  void Touch(tk::Control* control, bool grabbed);
  Lv2UiHost host_;
};

}  // namespace qrv::lv2
