// What an idle tick leaves to repaint: with a new gain-reduction reading every tick, the rectangle the
// needle covers and nothing more (the whole window only on its scheduled ticks); when nothing changed,
// nothing. Repainting that little leaves the window as a whole redraw paints it.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "dsp/ParameterSet.h"
#include "gui/backend/Convert.h"
#include "tests/editor/EditorTestSupport.h"

namespace qrv::test {
namespace {

class Repaint : public EditorFixture {
 protected:
  // One tick of the shared timer; the device rectangle it leaves to repaint, which is then repainted.
  tk::Rect TickAndRepaint() {
    Tick();
    window->frame()->idle();
    const tk::Rect dirty = headless().dirtyRect();
    headless().render();
    return dirty;
  }
  bool Whole(const tk::Rect& r) const {
    return r.left <= 0 && r.top <= 0 && r.right >= window->frame()->deviceWidth() &&
           r.bottom >= window->frame()->deviceHeight();
  }
  // The device rectangle holding the needle at each value shown: its stroke (two points wide, butt
  // ends) around the line from the pivot, inside the meter, and the frame's margin of one device pixel.
  tk::Rect NeedleArea(const std::vector<double>& values) {
    tk::Rect area;
    for (double v : values) {
      QRVPoint s, e;
      COldVuMeter2::NeedleLine(v, s, e);
      constexpr double half = 1;
      area = area.unite(tk::Rect{std::min(s.x, e.x) - half, std::min(s.y, e.y) - half, std::max(s.x, e.x) + half,
                                 std::max(s.y, e.y) + half});
    }
    const tk::Rect inMeter = area.intersect(Quarrytone::ToTk(editor().meter()->getViewSize())).offset(0, kBar);
    const double z = window->effectiveZoom();
    return tk::Rect{std::floor(inMeter.left * z) - 1, std::floor(inMeter.top * z) - 1,
                    std::ceil(inMeter.right * z) + 1, std::ceil(inMeter.bottom * z) + 1};
  }
  std::vector<unsigned char> Pixels() {
    cairo_surface_t* s = headless().surface();
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int size = cairo_image_surface_get_stride(s) * cairo_image_surface_get_height(s);
    return std::vector<unsigned char>(data, data + size);
  }
};

bool Inside(const tk::Rect& inner, const tk::Rect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST_F(Repaint, WithANewReadingEveryTickOnlyTheNeedlesRectangleIsRepainted) {
  for (double zoom : {1.0, 1.3, 2.0}) {
    Open(zoom);
    headless().render();
    std::vector<int> whole, outside;
    tk::Rect repainted;
    double shown = editor().meter()->getValue();
    std::vector<double> all{shown};
    for (int tick = 1; tick <= 210; ++tick) {
      // Readings swing the needle over about a fifth of its scale, a little further each tick.
      window->valueChangedByController(kSlotGainReduction, 0.7 + 0.1 * std::sin(tick * 0.07));
      const tk::Rect dirty = TickAndRepaint();
      const double now = editor().meter()->getValue();
      if (Whole(dirty)) {
        whole.push_back(tick);
      } else {
        repainted = repainted.unite(dirty);
        // Where the needle was and where it is now.
        if (!dirty.empty() && !Inside(dirty, NeedleArea({shown, now}))) outside.push_back(tick);
      }
      shown = now;
      all.push_back(now);
    }
    // The design's full redraw stays on its own ticks.
    EXPECT_EQ(whole, (std::vector<int>{101, 202})) << zoom;
    EXPECT_FALSE(repainted.empty()) << zoom;
    EXPECT_TRUE(outside.empty()) << zoom << ": " << outside.size() << " ticks repainted more than the needle, "
                                 << "the first " << outside.front();
    // Over all ticks, the strip of the meter that the needle swept.
    EXPECT_TRUE(Inside(repainted, NeedleArea(all))) << zoom;
    // What the small repaints left is what a whole redraw paints. Between whole pixels (zoom 1.3) cairo
    // clips the needle's outline to the repaint before rasterising it, which may move an edge pixel by a step.
    const std::vector<unsigned char> afterTicks = Pixels();
    window->invalidateAll();
    headless().render();
    const std::vector<unsigned char> redrawn = Pixels();
    ASSERT_EQ(afterTicks.size(), redrawn.size());
    int most = 0;
    for (std::size_t i = 0; i < redrawn.size(); ++i) most = std::max(most, std::abs(afterTicks[i] - redrawn[i]));
    EXPECT_LE(most, zoom == std::trunc(zoom) ? 0 : 1) << zoom;
    window.reset();
  }
}

TEST_F(Repaint, ATickThatChangesNothingRepaintsNothing) {
  Open();
  headless().render();
  // No reading at all, then the same reading over and over: the needle does not move.
  std::vector<int> repainting;
  for (int tick = 1; tick <= 60; ++tick) {
    if (tick > 30) window->valueChangedByController(kSlotGainReduction, 0.5);
    // The needle lags one reading: the second tick of the steady reading moves it from rest.
    const bool moves = tick == 32;
    if (!TickAndRepaint().empty() && !moves) repainting.push_back(tick);
  }
  EXPECT_TRUE(repainting.empty()) << repainting.size() << " ticks repainted, the first " << repainting.front();
  EXPECT_DOUBLE_EQ(editor().meter()->getValue(), 0.5);
}

}  // namespace
}  // namespace qrv::test
