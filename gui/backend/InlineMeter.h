// A small gain-reduction meter in the panel's colours for a host's mixer strip: the VU face's amber
// backlit scale with the needle at the engine's reading. Draws into caller-owned pixels with cairo
// alone, so that a host's mixer strip gets it with no editor open and no display. cairo is loaded at
// the first drawing, not linked: a plug-in binary that offers the meter still loads where cairo is
// not installed. Any thread.
#pragma once

#include <cstdint>

namespace Quarrytone {

// Needle travel per unit of reading is 60 degrees; a change of this much moves the needle's tip by
// under a pixel even on a 400-pixel-wide strip, so smaller changes need no redraw.
inline constexpr double kInlineMeterVisibleStep = 0.004;

// The reading (1 - gain, 0..1; NaN and out-of-range values are clamped, NaN reads as 0) drawn into
// width x height pixels of ARGB32, premultiplied, native-endian, rows stride bytes apart. Nothing is
// drawn, and false returned, when width or height is below 1, stride is below 4 * width or cairo cannot
// be loaded.
bool DrawInlineMeter(unsigned char* pixels, int width, int height, int stride, double reading);

}  // namespace Quarrytone
