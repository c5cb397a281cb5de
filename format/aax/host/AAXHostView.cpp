#include "format/aax/host/AAXHostView.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "gui/toolkit/Frame.h"
#include "gui/toolkit/X11Frame.h"

namespace qrv::aaxhost {

HostView::HostView(Instance& instance) : instance_(instance) {}

HostView::~HostView() { Close(); }

bool HostView::Open(std::string* error) {
  if (frame_ != nullptr) return true;
  AAX_IEffectGUI* gui = instance_.gui();
  if (gui == nullptr) {
    if (error) *error = "the module has no GUI object";
    return false;
  }
  double w = 0.0, h = 0.0;
  gui->GetViewSize(&w, &h);
  frame_ = new tk::Frame(tk::Rect{0, 0, std::max(1.0, std::round(w)), std::max(1.0, std::round(h))});
  if (!frame_->open(tk::PlatformType::X11, 0)) {
    frame_->forget();
    frame_ = nullptr;
    if (error) *error = "cannot open a window (is DISPLAY set?)";
    return false;
  }
  frame_->setBackgroundColor(tk::Color{0, 0, 0, 255});
  auto* platform = static_cast<tk::X11PlatformFrame*>(frame_->platform());
  platform->setCloseHandler([this] { closeRequested_ = true; });
  platform->setFocusOnClick(true);
  instance_.SetViewSizeHandler([this](double width, double height) { Resize(width, height); });
  const AAX_Result r =
      instance_.AttachView(AAX_eViewContainer_Type_HWND, reinterpret_cast<void*>(static_cast<uintptr_t>(window())));
  if (r != AAX_SUCCESS) {
    if (error) *error = std::string("the plug-in refused the view: ") + AAX_ResultName(r);
    Close();
    return false;
  }
  nextWakeup_ = std::chrono::steady_clock::now();
  return true;
}

void HostView::Close() {
  instance_.DetachView();
  instance_.SetViewSizeHandler(nullptr);
  if (frame_ == nullptr) return;
  frame_->close();
  frame_->forget();
  frame_ = nullptr;
}

void HostView::Resize(double width, double height) {
  if (frame_ == nullptr) return;
  const int w = std::max(1, static_cast<int>(std::lround(width)));
  const int h = std::max(1, static_cast<int>(std::lround(height)));
  frame_->setSize(w, h);
  frame_->platform()->setSize(w, h);
}

void HostView::Step(int timeoutMs) {
  if (frame_ == nullptr) return;
  const auto now = std::chrono::steady_clock::now();
  const auto untilWakeup = std::chrono::duration_cast<std::chrono::milliseconds>(nextWakeup_ - now).count();
  tk::X11PlatformFrame::processEvents(static_cast<int>(std::clamp<int64_t>(untilWakeup, 0, timeoutMs)));
  instance_.PumpUpdates();
  if (std::chrono::steady_clock::now() >= nextWakeup_) {
    instance_.GuiTimerWakeup();
    ++wakeups_;
    // A late call is not made up for: the next one is a whole period after this one.
    nextWakeup_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGuiTimerMs);
  }
  // What the plug-in changed in its wake-up reaches the data model before the next pass.
  instance_.PumpUpdates();
}

unsigned long HostView::window() const {
  return frame_ != nullptr ? static_cast<tk::X11PlatformFrame*>(frame_->platform())->window() : 0;
}

int HostView::width() const { return frame_ != nullptr ? frame_->deviceWidth() : 0; }
int HostView::height() const { return frame_ != nullptr ? frame_->deviceHeight() : 0; }

}  // namespace qrv::aaxhost
