// The editor window's layout in layout points (zoom 1): the product panel under the preset bar, and where
// the bar's controls sit. Code and tests read these; nothing else writes the numbers.
#pragma once

#include <algorithm>
#include <cmath>

#include "gui/engine/QRVGraphics.h"

namespace Quarrytone::layout {

// The product panel, and the preset bar across the window's top above it.
inline constexpr double kPanelWidth = 400;
inline constexpr double kPanelHeight = 275;
inline constexpr double kBarHeight = 78;
inline constexpr double kWindowHeight = kBarHeight + kPanelHeight;

// The editor window's size in pixels for a panel (layout points) under the bar at a zoom factor within
// the limits: scaled and cut to whole pixels. The open window takes this size and a host that asks before
// it opens is told the same, so the two cannot disagree.
struct PixelSize {
  int width;
  int height;
};
inline PixelSize WindowPixelSize(double panelWidth, double panelHeight, double zoom) {
  return PixelSize{static_cast<int>(zoom * panelWidth), static_cast<int>(zoom * (panelHeight + kBarHeight))};
}

// The bar's controls, in bar coordinates (the bar's top left is the window's). Their rectangles reach a
// point past the bar's edges where the art does.
namespace bar {
inline constexpr QRVRect kZoom{0, -1, 60, 27};
inline constexpr QRVRect kNudge{62, -1, 122, 27};
inline constexpr QRVRect kName{128, 3, 366, 23};
inline constexpr QRVRect kSave{0, 25, 60, 53};
inline constexpr QRVRect kCopy{62, 25, 122, 53};
inline constexpr QRVRect kPaste{124, 25, 184, 53};
inline constexpr QRVRect kAB{186, 25, 246, 53};
inline constexpr QRVRect kABCopy{248, 25, 308, 53};
inline constexpr QRVRect kUndoRedo{310, 25, 370, 53};
// The configuration button keeps to the bar's right end.
constexpr QRVRect Config(double barWidth) { return QRVRect{barWidth - 29, -1, barWidth + 1, 27}; }

// The favourites row: centred in the bar's bottom strip, its buttons in row coordinates.
inline constexpr double kFavouritesTop = 52;
inline constexpr double kFavouritesWidth = 172;
inline constexpr QRVRect kUserDefault{10, 0, 32, 26};
constexpr QRVRect Favourite(int slot) { return QRVRect{40.0 + 26 * slot, 0, 62.0 + 26 * slot, 26}; }
inline constexpr QRVRect kAssign{148, 0, 170, 26};
inline double FavouritesLeft(double barWidth) { return std::max(0.0, std::floor((barWidth - kFavouritesWidth) / 2)); }
inline QRVRect FavouritesRow(double barWidth) {
  const double left = FavouritesLeft(barWidth);
  return QRVRect{left, kFavouritesTop, left + kFavouritesWidth, kBarHeight};
}
// A favourites-row rectangle in bar coordinates.
inline QRVRect InBar(const QRVRect& inRow, double barWidth) {
  const double left = FavouritesLeft(barWidth);
  return QRVRect{inRow.left + left, inRow.top + kFavouritesTop, inRow.right + left, inRow.bottom + kFavouritesTop};
}

// The drag corner at the panel area's bottom right.
inline constexpr double kCornerSize = 20;
}  // namespace bar

}  // namespace Quarrytone::layout
