// Pop-ups at window level for controls that open their own lists: the containers lie on the
// frame's pop-up layer, above every other view (the preset bar and the product panel alike), in
// window coordinates. GUI thread only.
#pragma once

#include <functional>

#include "gui/engine/QRVBaseControl.h"

namespace Quarrytone {

// The window position of a point given in the coordinates of the container that holds control;
// false while the control is in no window.
bool ControlToWindow(QRVBaseControl* control, QRVPoint& point);
// The window's layout size (unzoomed points); false while the control is in no window.
bool ControlWindowSize(QRVBaseControl* control, QRVRect& size);
// The screen the window is shown on, in pixels; false while the control is in no window.
bool ControlScreenSize(QRVBaseControl* control, int& width, int& height);
// A container whose controls report to the same listener as the controls beside owner; null
// while owner is in no container. The caller owns the result (delete it).
QRVViewContainer* CreatePopupContainer(QRVBaseControl* owner, const QRVRect& rect);
// Shows container (made by CreatePopupContainer) on the pop-up layer of owner's window, at its
// own rectangle in window coordinates. dismiss runs when the window closes its pop-ups on its own
// (Escape); the owner then closes it.
bool OpenPopup(QRVBaseControl* owner, QRVViewContainer* container, std::function<void()> dismiss);
bool ClosePopup(QRVViewContainer* container);
bool IsPopupOpen(QRVViewContainer* container);

}  // namespace Quarrytone
