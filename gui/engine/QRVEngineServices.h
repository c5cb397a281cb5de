// What the back-end offers every editor beside QRVMasterGraphicalEngine: the module's shared fonts and
// images, fonts made on demand, and window-level pop-ups for controls that open their own lists (the
// containers lie on the frame's pop-up layer, above the preset bar and the product panel alike, in
// window coordinates). Implemented by gui/backend; GUI thread only.
#pragma once

#include <functional>

#include "gui/engine/QRVBaseControl.h"
#include "gui/engine/QRVGraphics.h"

namespace Quarrytone {

// The shared fonts (valid while the editor resources are set up: the module's lifetime).
enum class SharedFont { Arial14Italic, Arial14, Arial13, Arial12, Arial11, Arial10, Arial9, Arial8, Arial6, Comic32 };
QRVFont* GetSharedFont(SharedFont which);
// The shared, uncounted bitmap of an embedded image (null for ids without an image).
QRVBitmap* GetSharedBitmap(int resourceId);
// A new font; the caller releases it.
QRVFont* CreateFont(const char* name, double size, int style);

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
