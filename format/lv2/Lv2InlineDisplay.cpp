#include "format/lv2/Lv2InlineDisplay.h"

#include <algorithm>
#include <cmath>

#include "gui/backend/InlineMeter.h"

namespace qrv::lv2 {

void Lv2InlineDisplay::Publish(double reading) {
  if (std::isnan(reading)) reading = 0.0;
  reading_.store(reading, std::memory_order_relaxed);
  if (queue_ == nullptr || queue_->queue_draw == nullptr) return;
  if (std::fabs(reading - queued_) < Quarrytone::kInlineMeterVisibleStep) return;
  queued_ = reading;
  queue_->queue_draw(queue_->handle);
}

InlineDisplayImageSurface* Lv2InlineDisplay::Render(uint32_t width, uint32_t maxHeight) {
  const int w = static_cast<int>(std::min(width, kMaxWidth));
  const int h = static_cast<int>(std::min<uint32_t>(maxHeight, static_cast<uint32_t>(w) / 2));
  if (w < 1 || h < 1) return nullptr;
  const int stride = 4 * w;  // ARGB32 rows need no padding beyond whole pixels
  pixels_.resize(static_cast<std::size_t>(stride) * static_cast<std::size_t>(h));
  if (!Quarrytone::DrawInlineMeter(pixels_.data(), w, h, stride, reading())) return nullptr;
  surface_ = InlineDisplayImageSurface{pixels_.data(), w, h, stride};
  return &surface_;
}

}  // namespace qrv::lv2
