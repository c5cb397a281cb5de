// Drawing cost of the product panel through the headless frame, and decoding of the largest strip.
#include <benchmark/benchmark.h>

#include "gui/backend/QRVFrame.h"
#include "gui/backend/Resources.h"
#include "gui/backend/ViewContainerWrapper.h"
#include "gui/controls/QRVControls.h"
#include "gui/toolkit/HeadlessFrame.h"

namespace {

struct Panel {
  Panel() {
    Quarrytone::InitializeResources();
    frame = new Quarrytone::QRVFrame(tk::Rect{0, 0, 400, 275});
    frame->open(tk::PlatformType::Headless);
    container = new Quarrytone::CQRVViewContainerWrapper(nullptr, nullptr, QRVRect{0, 0, 400, 275});
    container->attachTo(frame);
    container->setBackgroundById(11128);
    auto* sw = new QRVHorizontalSwitch(QRVRect{262, 46, 368, 124}, 0, Quarrytone::GetSharedBitmap(12129));
    sw->positions_ = 3;
    container->addControl(sw);
    container->addControl(new QRVAnimKnob(QRVRect{28, 143, 142, 257}, 4, Quarrytone::GetSharedBitmap(12173), 21, 5));
    container->addControl(new QRVAnimKnob(QRVRect{143, 143, 257, 257}, 5, Quarrytone::GetSharedBitmap(12171), 41, 7));
    container->addControl(new QRVAnimKnob(QRVRect{258, 143, 372, 257}, 6, Quarrytone::GetSharedBitmap(12177), 61, 8));
    container->addControl(new QRVAnimKnob(QRVRect{50, 50, 120, 120}, 2, Quarrytone::GetSharedBitmap(12181), 7));
    container->addControl(new QRVAnimKnob(QRVRect{31, 123, 62, 154}, 3, Quarrytone::GetSharedBitmap(12130), 7));
    container->addControl(new QRVAnimKnob(QRVRect{267, 92, 298, 123}, 7, Quarrytone::GetSharedBitmap(12139), 7));
    tk::Headless(frame)->render();
  }
  ~Panel() {
    frame->removeAll();
    frame->forget();
  }
  Quarrytone::QRVFrame* frame;
  Quarrytone::CQRVViewContainerWrapper* container;
};

void BM_DrawWholePanel(benchmark::State& state) {
  Panel panel;
  panel.frame->zoom(static_cast<double>(state.range(0)) / 100.0);
  tk::HeadlessPlatformFrame* headless = tk::Headless(panel.frame);
  for (auto _ : state) {
    panel.frame->invalid();
    headless->render();
  }
}
BENCHMARK(BM_DrawWholePanel)->Arg(70)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);

void BM_DecodeOutputStrip(benchmark::State& state) {
  const Quarrytone::EmbeddedImage* image = Quarrytone::FindEmbeddedImage(12177);
  for (auto _ : state) {
    Quarrytone::CQRVBitmapWrapper bitmap(new CQRVBitmap(image->data, image->size), false);
    benchmark::DoNotOptimize(bitmap.getWidth());
  }
}
BENCHMARK(BM_DecodeOutputStrip)->Unit(benchmark::kMillisecond);

}  // namespace
