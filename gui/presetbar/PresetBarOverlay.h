// What fills the preset bar's browser and configuration overlays, and what the bar offers them.
// The bar owns the overlay containers, opens and closes them and passes on the events that belong to
// their content. GUI thread only.
#pragma once

#include "gui/editor/QRVPresetBarHost.h"

namespace Quarrytone {

// The bar as the overlays' content sees it.
class PresetBarOverlayOwner {
 public:
  virtual ~PresetBarOverlayOwner() = default;
  virtual QRVPresetBarHost& overlayHost() = 0;
  // Closes whichever overlay is open (as tag 87).
  virtual void closeOverlays() = 0;
  // The manager's preset changed: the name control's label is redrawn.
  virtual void presetChanged() = 0;
  // A message for the product editor that comes back to the bar as a notification (93, 94).
  virtual void sendNotification(int index, double value) = 0;
};

class PresetBarOverlayContent {
 public:
  virtual ~PresetBarOverlayContent() = default;
  // The bar built the overlay's container (overlay coordinates start at its top left) for a product
  // editor of width x height: the content adds its controls.
  virtual void attach(QRVViewContainer* /*overlay*/, double /*width*/, double /*height*/) {}
  // The overlay was shown (browser: its lists are due) or hidden.
  virtual void opened() {}
  virtual void closed() {}
  // The preset position, slot or library changed.
  virtual void refresh() {}
  virtual void controlEvent(int /*tag*/, double /*value*/) {}
  virtual void parameterNotification(int /*index*/, double /*value*/) {}
  virtual void idleTick() {}
  virtual void resize(double /*width*/, double /*height*/) {}
  // Configuration: true when the overlay stays open after notification 94.
  virtual bool stayOpen() { return false; }
};

}  // namespace Quarrytone
