// Ardour's inline display: a small gain-reduction meter the host shows in its mixer strip. The
// extension's few types are declared here, as the host expects them: the host asks for a picture
// with `render(instance, width, max_height)` and offers `queue_draw`, which the plug-in calls from
// run when the picture would change.
//
// Threads: Publish runs in run (audio class: no allocation, no lock); Render runs on the host's GUI
// thread, never concurrently with itself; they share one atomic reading.
#pragma once

#include <lv2/core/lv2.h>

#include <atomic>
#include <cstdint>
#include <vector>

namespace qrv::lv2 {

inline constexpr const char* kInlineDisplayUri = "http://harrisonconsoles.com/lv2/inlinedisplay";
inline constexpr const char* kInlineDisplayInterfaceUri = "http://harrisonconsoles.com/lv2/inlinedisplay#interface";
inline constexpr const char* kInlineDisplayQueueDrawUri = "http://harrisonconsoles.com/lv2/inlinedisplay#queue_draw";

extern "C" {
// ARGB32, premultiplied; valid until the next render or cleanup.
struct InlineDisplayImageSurface {
  unsigned char* data;
  int width;
  int height;
  int stride;
};
// The queue_draw feature's data.
struct InlineDisplayQueue {
  void* handle;
  void (*queue_draw)(void* handle);
};
// The extension data.
struct InlineDisplayInterface {
  InlineDisplayImageSurface* (*render)(LV2_Handle instance, uint32_t width, uint32_t maxHeight);
};
}

class Lv2InlineDisplay {
 public:
  // Pictures are at most this wide; wider requests get this width.
  static constexpr uint32_t kMaxWidth = 2048;

  // queue may be null: the host then asks for pictures at its own pace.
  explicit Lv2InlineDisplay(const InlineDisplayQueue* queue) : queue_(queue) {}

  // Audio thread: the engine's gain-reduction reading (1 - gain). Asks for a redraw when the needle
  // moved visibly since the last request.
  void Publish(double reading);

  // GUI thread: the meter at width x min(max_height, width / 2); null for a zero size, or when the
  // meter cannot be drawn (no cairo on the machine).
  InlineDisplayImageSurface* Render(uint32_t width, uint32_t maxHeight);

  double reading() const { return reading_.load(std::memory_order_relaxed); }

 private:
  const InlineDisplayQueue* queue_;
  std::atomic<double> reading_{0.0};
  double queued_ = 0.0;  // audio thread only
  std::vector<unsigned char> pixels_;
  InlineDisplayImageSurface surface_{};
};

}  // namespace qrv::lv2
