// The seam between the editor window and the preset bar. The window (QRVVSTGUIEditorWrapperV4_PresetBar)
// builds and owns one bar through a factory and offers it the host-editor services below; the bar
// answers the window's calls. Both sides run on the host's GUI thread only.
#pragma once

#include <functional>
#include <memory>

#include "gui/engine/QRVGraphics.h"

namespace Quarrytone {

// What the window offers the bar. Coordinates are window layout points (the bar's 78 included).
class QRVPresetBarHost {
 public:
  virtual ~QRVPresetBarHost() = default;
  // The window's graphics engine, for bitmaps and for containers of the product editor's area.
  virtual QRVMasterGraphicalEngine& engine() = 0;
  // A container that sits on the window's frame rather than in the product editor's container: the
  // bar itself and its overlays. The window owns it once added; until then the caller does.
  virtual QRVViewContainer* createOverlayContainer(const QRVRect& rect) = 0;
  virtual bool addOverlay(QRVViewContainer* container) = 0;
  virtual bool removeOverlay(QRVViewContainer* container) = 0;
  virtual bool containsOverlay(QRVViewContainer* container) = 0;
  // Pointer position at the last idle tick (or of the mouse event being dispatched) and the buttons
  // then held, inside the window or not (0 while a resize is deferred).
  virtual QRVPoint windowMousePosition() = 0;
  virtual int mouseButtons() = 0;
  // True while Return or Enter is being dispatched: a text edit that ends then was committed, not left
  // by Tab, by a click elsewhere or by the window losing the keyboard.
  virtual bool dispatchingReturn() = 0;
  // True while any key press is being dispatched.
  virtual bool dispatchingKey() = 0;
  // Device pixels per layout point: the window's effective zoom.
  virtual double pixelsPerPoint() = 0;
  // Sets the process-wide hints flag and the window's copy of it, and stores it in the settings store.
  virtual void setHintsFlag(int flag) = 0;
  // The instance's High quality through the window's host (QRVEditorHost): 1 on, 0 off, -1 not offered.
  virtual int highQuality() { return -1; }
  virtual void setHighQuality(bool /*on*/) {}
  // Resizes the window to the zoom factor (limited to 0.7..4, 1.0 for 0.01 or less).
  virtual void setZoom(double factor) = 0;
  virtual double zoom() = 0;
  // Redraws the whole window.
  virtual void refresh() = 0;
  // Notifications for the product editor (presets/IndexTable.h): the browser about to open and closed,
  // the configuration about to open and closed (kMessageConfigClosed after kMessageHideAbout).
  virtual void notifyEditor(int index, double value) = 0;
};

// What the window asks of the bar.
class QRVPresetBar {
 public:
  // Called at the window's close while the window still stands: the containers the bar holds outside
  // the window (containsOverlay false) are its own to delete; those inside go with the window.
  virtual ~QRVPresetBar() = default;
  // Builds the bar for a product editor of width x height at zoom 1 and adds its containers.
  virtual void build(double width, double height) = 0;
  virtual void resize(double width, double height) = 0;
  // A control event of one of the bar's controls (tags 29 and above).
  virtual void controlEvent(int tag, double value) = 0;
  // A parameter or message index from the controller side, after the product editor saw it.
  virtual void parameterNotification(int index, double value) = 0;
  virtual void idleTick() = 0;
};

// What the factory is given: the window's services and the objects the host binding attached
// (attachPresetBar): the instance's PresetManager and the product controller. Either may be null.
struct QRVPresetBarContext {
  QRVPresetBarHost* host = nullptr;
  void* presetManager = nullptr;
  void* controller = nullptr;
};
using QRVPresetBarFactory = std::function<std::unique_ptr<QRVPresetBar>(const QRVPresetBarContext&)>;

}  // namespace Quarrytone
