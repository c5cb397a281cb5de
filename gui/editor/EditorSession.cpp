#include "gui/editor/EditorSession.h"

#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "dsp/ParameterSet.h"
#include "gui/editor/EditorResources.h"
#include "gui/toolkit/X11Frame.h"
#include "presets/IndexTable.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"

namespace Quarrytone {
namespace {

// Sessions alive in the module; the shared fonts and images live while there is one. [GUI thread]
int gLiveSessions = 0;

bool IsControlSlot(int index) { return index >= 0 && qrv::IsControlSlot(static_cast<unsigned>(index)); }

tk::X11PlatformFrame* X11Of(const QRVVSTGUIEditorWrapperV4_PresetBar& window) {
  return window.frame() != nullptr ? dynamic_cast<tk::X11PlatformFrame*>(window.frame()->platform()) : nullptr;
}

}  // namespace

EditorSession::EditorSession(ProductEditorFactory product, QRVPresetBarFactory bar, QRVEditorHost& host)
    : host_(host), window_(product, std::move(bar)), zoom_(StartingZoom()) {
  shown_.fill(std::numeric_limits<double>::quiet_NaN());
  InitializeEditorResources();
  ++gLiveSessions;
  window_.setHost(this);
}

EditorSession::~EditorSession() {
  window_.close();
  window_.setHost(nullptr);
  if (--gLiveSessions == 0) ShutdownEditorResources();
}

double EditorSession::StartingZoom(double hostScale) {
  double stored = 0.0;
  if (qrv::settings::ReadNumber(qrv::settings::kSettingZoom, stored))
    return qrv::settings::ZoomPercentFromSetting(stored) / 100.0;
  if (std::isfinite(hostScale) && hostScale > 0.0) return qrv::settings::LimitZoomFactor(hostScale);
  return 1.0;
}

layout::PixelSize EditorSession::WindowSize(double zoom) {
  return layout::WindowPixelSize(layout::kPanelWidth, layout::kPanelHeight, qrv::settings::LimitZoomFactor(zoom));
}

bool EditorSession::DisplayAvailable() {
  tk::X11PlatformFrame::retainConnection();
  const bool open = tk::X11PlatformFrame::connectionFd() >= 0;
  tk::X11PlatformFrame::releaseConnection();
  return open;
}

int EditorSession::ConnectionFd() { return tk::X11PlatformFrame::connectionFd(); }

void EditorSession::AttachPresets(qrv::PresetManager* manager) {
  manager_ = manager;
  window_.attachPresetBar(nullptr, manager, nullptr);
}

bool EditorSession::Open(unsigned long parent, tk::PlatformType type) {
  if (window_.isOpen()) return false;
  if (!window_.open(type, parent)) return false;
  topLevel_ = parent == 0;
  // The zoom's resize is the opening's; the host hears the size once, below.
  opening_ = true;
  if (zoom_ != 1.0) window_.setZoom(zoom_);
  opening_ = false;
  host_.resizeRequest(window_.windowWidth(), window_.windowHeight());
  return true;
}

void EditorSession::Close() { window_.close(); }

unsigned long EditorSession::Widget() const {
  const tk::X11PlatformFrame* x11 = X11Of(window_);
  return x11 != nullptr ? x11->window() : 0;
}

void EditorSession::SetTitle(const std::string& title) {
  if (tk::X11PlatformFrame* x11 = X11Of(window_)) x11->setTitle(title);
}

void EditorSession::OnCloseRequest(std::function<void()> handler) {
  if (tk::X11PlatformFrame* x11 = X11Of(window_)) x11->setCloseHandler(std::move(handler));
}

bool EditorSession::SetScale(double scale) {
  if (!std::isfinite(scale) || scale <= 0.0) return false;
  zoom_ = qrv::settings::LimitZoomFactor(scale);
  if (window_.isOpen()) window_.setZoom(zoom_);
  return true;
}

double EditorSession::Zoom() const { return window_.isOpen() ? window_.requestedZoom() : zoom_; }

layout::PixelSize EditorSession::Size() const {
  if (window_.isOpen()) return layout::PixelSize{window_.windowWidth(), window_.windowHeight()};
  return WindowSize(zoom_);
}

void EditorSession::ShowValue(int slot, double value) {
  if (!IsControlSlot(slot)) return;
  shown_[static_cast<std::size_t>(slot)] = value;
  window_.valueChangedByController(slot, value);
}

void EditorSession::HostValue(int index, double value) {
  if (IsControlSlot(index)) {
    double& shown = shown_[static_cast<std::size_t>(index)];
    // Bitwise, so that a NaN is no new value at every call.
    if (std::bit_cast<std::uint64_t>(shown) == std::bit_cast<std::uint64_t>(value)) return;
    shown = value;
    // An external edit for the preset state, so that the bar's modified mark and undo follow it.
    if (manager_ != nullptr) manager_->ParameterChanged(index, value);
  }
  window_.valueChangedByController(index, value);
}

void EditorSession::Meter(double reading) {
  window_.valueChangedByController(static_cast<int>(qrv::kSlotGainReduction), reading);
}

void EditorSession::Restored() {
  if (window_.isOpen()) window_.valueChangedByController(qrv::kMessageRefreshAll, 0.0);
}

void EditorSession::RestoreCount(std::uint32_t count) {
  const bool moved = restoresSeen_.has_value() && *restoresSeen_ != count;
  restoresSeen_ = count;
  if (moved) Restored();
}

void EditorSession::Idle(int timeoutMs) {
  // Without an X11 window (a headless one) only the timers and deferred work are due.
  if (!tk::X11PlatformFrame::processEvents(timeoutMs)) tk::RunLoop::instance().process();
}

void EditorSession::PresetValue(int index, double value) {
  if (IsControlSlot(index)) {
    shown_[static_cast<std::size_t>(index)] = value;
    host_.setValue(index, value);
    // The panel only: the bar reads the preset state when its action is done.
    window_.QRVVSTGUIEditorWrapperV2::valueChangedByController(index, value);
    return;
  }
  window_.valueChangedByController(index, value);
}

void EditorSession::setValue(int index, double value) {
  if (IsControlSlot(index)) {
    shown_[static_cast<std::size_t>(index)] = value;
    host_.setValue(index, value);
    // The edit reaches the preset state now, whether or not the host echoes it.
    if (manager_ != nullptr) manager_->ParameterChanged(index, value);
    if (window_.presetBar() != nullptr) window_.presetBar()->parameterNotification(index, value);
    return;
  }
  // Messages (about box, browser) come back to the window as the host's echo.
  window_.valueChangedByController(index, value);
}

void EditorSession::resizeRequest(int width, int height) {
  if (opening_ || !window_.isOpen() || window_.isResizeDeferred() || width <= 0 || height <= 0) return;
  // A top-level window is its own host: it takes the size the zoom gives it.
  if (topLevel_ && window_.frame()->platform() != nullptr) window_.frame()->platform()->setSize(width, height);
  host_.resizeRequest(width, height);
}

}  // namespace Quarrytone
