// The framework's abstract product editor: a panel that the editor window creates, places under the
// preset bar, opens and closes, feeds with controller values and meter readings and ticks every 33 ms.
// Everything runs on the host's GUI thread.
#pragma once

#include "gui/engine/EditorLayout.h"

class QRVBaseEditor {
 public:
  QRVBaseEditor() = default;
  QRVBaseEditor(const QRVBaseEditor&) = delete;
  QRVBaseEditor& operator=(const QRVBaseEditor&) = delete;

  virtual ~QRVBaseEditor() {}
  // Builds the view tree through the engine; returns false when nothing could be built.
  virtual bool Open() = 0;
  // Forgets every view (the engine's view tree destroys them).
  virtual void Close() = 0;
  // A parameter value or message index from the controller side.
  virtual void ControllerValueChanged(int index, double value) = 0;
  // A control was moved by the user.
  virtual void ControlValueChanged(int tag, double value) = 0;
  virtual void Idle() = 0;

  double left() const { return left_; }
  double top() const { return top_; }
  double right() const { return right_; }
  double bottom() const { return bottom_; }
  double width() const { return right_ - left_; }
  double height() const { return bottom_ - top_; }

 protected:
  void setRect(double left, double top, double right, double bottom) {
    left_ = left;
    top_ = top;
    right_ = right;
    bottom_ = bottom;
  }

 private:
  double left_ = 0.0;
  double top_ = 0.0;
  double right_ = Quarrytone::layout::kPanelWidth;
  double bottom_ = Quarrytone::layout::kPanelHeight;
};
