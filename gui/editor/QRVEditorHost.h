// The seam between the editor window and the host binding that shows it. A binding implements this
// small interface and gives it to the window (setHost); the window calls it on the host's GUI thread.
// Bindings compose the window rather than derive from it.
#pragma once

namespace Quarrytone {

class QRVEditorHost {
 public:
  virtual ~QRVEditorHost() = default;
  // The user grabbed or let go of the control of tag (a parameter slot for the panel's controls);
  // hosts that record automation take these as touch and release.
  virtual void beginEdit(int tag) = 0;
  virtual void endEdit(int tag) = 0;
  // A parameter slot or message index the editor sets. What comes back to the window (the host's echo,
  // the controller's answer) arrives through valueChangedByController.
  virtual void setValue(int index, double value) = 0;
  // The window has taken a new size in device pixels, preset bar included (it may be deferred or closed:
  // isResizeDeferred, isOpen); the host fits its parent window to it.
  virtual void resizeRequest(int width, int height) = 0;
  // The instance's High quality: 1 on, 0 off, -1 where the binding offers no switch (the default).
  // setHighQuality switches it; the binding takes care of the latency the host must learn.
  virtual int highQuality() { return -1; }
  virtual void setHighQuality(bool /*on*/) {}
};

}  // namespace Quarrytone
