// Conversions between the engine's value types and the toolkit's.
#pragma once

#include "gui/engine/QRVGraphics.h"
#include "gui/toolkit/Geometry.h"

namespace Quarrytone {

inline tk::Point ToTk(const QRVPoint& p) { return tk::Point{p.x, p.y}; }
inline tk::Rect ToTk(const QRVRect& r) { return tk::Rect{r.left, r.top, r.right, r.bottom}; }
inline tk::Color ToTk(QRVColor c) { return tk::Color{c.red, c.green, c.blue, c.alpha}; }
inline QRVPoint ToQRV(const tk::Point& p) { return QRVPoint{p.x, p.y}; }
inline QRVRect ToQRV(const tk::Rect& r) { return QRVRect{r.left, r.top, r.right, r.bottom}; }
inline QRVColor ToQRV(tk::Color c) { return QRVColor{c.r, c.g, c.b, c.a}; }

}  // namespace Quarrytone
