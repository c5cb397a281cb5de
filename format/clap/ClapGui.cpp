#include "format/clap/ClapGui.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "dsp/ParameterSet.h"
#include "format/clap/ClapParams.h"
#include "format/clap/ClapPlugin.h"
#include "gui/editor/EditorResources.h"
#include "gui/engine/EditorLayout.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "gui/toolkit/X11Frame.h"
#include "presets/IndexTable.h"
#include "presets/PresetManager.h"
#include "presets/SettingsStore.h"
#include "product/warmGlowEditor.h"

namespace qrv::clap {
namespace {

// Editors alive in the module; the shared fonts and images live while there is one. [main]
int g_liveEditors = 0;

}  // namespace

ClapEditor::ClapEditor(ClapPlugin& plugin)
    : plugin_(plugin), host_(plugin.host()), window_(&CreateProductEditor, Quarrytone::PresetBarEditorFactory()) {
  Quarrytone::InitializeEditorResources();
  ++g_liveEditors;
  window_.setHost(this);
  if (host_ != nullptr && host_->get_extension != nullptr) {
    hostGui_ = static_cast<const clap_host_gui_t*>(host_->get_extension(host_, CLAP_EXT_GUI));
    hostTimer_ = static_cast<const clap_host_timer_support_t*>(host_->get_extension(host_, CLAP_EXT_TIMER_SUPPORT));
    hostFd_ = static_cast<const clap_host_posix_fd_support_t*>(host_->get_extension(host_, CLAP_EXT_POSIX_FD_SUPPORT));
  }
  // The zoom the window opens at: the stored one, until the host sets its scale.
  double stored = 0.0;
  if (settings::ReadNumber(settings::kSettingZoom, stored)) scale_ = settings::ZoomPercentFromSetting(stored) / 100.0;
}

ClapEditor::~ClapEditor() {
  if (timer_ != CLAP_INVALID_ID && hostTimer_ != nullptr) hostTimer_->unregister_timer(host_, timer_);
  if (fd_ >= 0 && hostFd_ != nullptr) hostFd_->unregister_fd(host_, fd_);
  plugin_.state().DetachEditor(this);
  window_.close();
  if (--g_liveEditors == 0) Quarrytone::ShutdownEditorResources();
}

bool ClapEditor::SetScale(double scale) {
  if (!std::isfinite(scale) || scale <= 0.0) return false;
  scale_ = settings::LimitZoomFactor(scale);
  if (window_.isOpen()) window_.setZoom(scale_);
  return true;
}

bool ClapEditor::GetSize(uint32_t& width, uint32_t& height) const {
  if (window_.isOpen()) {
    width = static_cast<uint32_t>(window_.windowWidth());
    height = static_cast<uint32_t>(window_.windowHeight());
  } else {
    // The size the window will take when it opens at this scale.
    const auto pixels =
        Quarrytone::layout::WindowPixelSize(kEditorWidth, kEditorHeight, settings::LimitZoomFactor(scale_));
    width = static_cast<uint32_t>(pixels.width);
    height = static_cast<uint32_t>(pixels.height);
  }
  return width > 0 && height > 0;
}

bool ClapEditor::SetParent(unsigned long parent) {
  if (window_.isOpen()) return false;
  manager_ = plugin_.state().AttachEditor(this);
  window_.attachPresetBar(nullptr, manager_, nullptr);
  loadsSeen_ = plugin_.LoadCount();
  if (!window_.open(tk::PlatformType::X11, parent)) {
    plugin_.Log(CLAP_LOG_ERROR, "the editor needs an X display");
    return false;
  }
  if (scale_ != 1.0) window_.setZoom(scale_);
  for (unsigned slot : kControlSlots) {
    shown_[slot] = plugin_.Normalised(slot);
    window_.valueChangedByController(static_cast<int>(slot), shown_[slot]);
  }
  bool idle = false;
  if (hostTimer_ != nullptr && hostTimer_->register_timer(host_, kIdleMs, &timer_)) {
    idle = true;
  } else {
    timer_ = CLAP_INVALID_ID;
  }
  const int fd = tk::X11PlatformFrame::connectionFd();
  if (fd >= 0 && hostFd_ != nullptr && hostFd_->register_fd(host_, fd, CLAP_POSIX_FD_READ)) fd_ = fd;
  if (!idle) {
    plugin_.Log(CLAP_LOG_WARNING,
                fd_ >= 0 ? "the host offers no timer-support: the editor idles only when X events arrive"
                         : "the host offers neither timer-support nor posix-fd-support: the editor cannot idle");
  }
  if (hostGui_ != nullptr) hostGui_->request_resize(host_, static_cast<uint32_t>(window_.windowWidth()),
                                                    static_cast<uint32_t>(window_.windowHeight()));
  return true;
}

void ClapEditor::Idle() {
  if (!window_.isOpen()) return;
  if (plugin_.LoadCount() != loadsSeen_) {
    loadsSeen_ = plugin_.LoadCount();
    window_.valueChangedByController(qrv::kMessageRefreshAll, 0.0);
  }
  // Host automation, generic controls or a flushed value: an external edit for the preset state, so
  // that the bar's modified mark and undo follow it.
  for (unsigned slot : kControlSlots) {
    const double v = plugin_.Normalised(slot);
    if (std::bit_cast<uint64_t>(v) == std::bit_cast<uint64_t>(shown_[slot])) continue;
    shown_[slot] = v;
    if (manager_ != nullptr) manager_->ParameterChanged(static_cast<int>(slot), v);
    window_.valueChangedByController(static_cast<int>(slot), v);
  }
  window_.valueChangedByController(static_cast<int>(kSlotGainReduction), plugin_.MeterReading());
  tk::X11PlatformFrame::processEvents(0);
}

void ClapEditor::Send(int index, double value) {
  const auto slot = static_cast<unsigned>(index);
  shown_[slot] = value;
  plugin_.EditValue(slot, value);
}

void ClapEditor::setValue(int index, double value) {
  if (index >= 0 && hostcontrols::FindControlPort(static_cast<unsigned>(index)) != nullptr) {
    Send(index, value);
    if (manager_ != nullptr) manager_->ParameterChanged(index, value);
    if (window_.presetBar() != nullptr) window_.presetBar()->parameterNotification(index, value);
    return;
  }
  // Messages (about box, browser) come back to the window as the host binding's echo.
  window_.valueChangedByController(index, value);
}

void ClapEditor::PresetValue(int index, double value) {
  if (index >= 0 && hostcontrols::FindControlPort(static_cast<unsigned>(index)) != nullptr) {
    Send(index, value);
    window_.QRVVSTGUIEditorWrapperV2::valueChangedByController(index, value);
    return;
  }
  window_.valueChangedByController(index, value);
}

void ClapEditor::resizeRequest(int width, int height) {
  if (window_.isOpen() && !window_.isResizeDeferred() && hostGui_ != nullptr && width > 0 && height > 0) {
    hostGui_->request_resize(host_, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
  }
}

void ClapEditor::beginEdit(int tag) {
  if (tag < 0) return;
  if (const hostcontrols::ControlPort* p = hostcontrols::FindControlPort(static_cast<unsigned>(tag)))
    plugin_.EditGesture(p->port, true);
}

void ClapEditor::endEdit(int tag) {
  if (tag < 0) return;
  if (const hostcontrols::ControlPort* p = hostcontrols::FindControlPort(static_cast<unsigned>(tag)))
    plugin_.EditGesture(p->port, false);
}

namespace {

ClapPlugin* Self(const clap_plugin_t* p) { return ClapPlugin::From(p); }
ClapEditor* EditorOf(const clap_plugin_t* p) { return Self(p)->editor().get(); }

bool IsApiSupported(const clap_plugin_t*, const char* api, bool floating) {
  return api != nullptr && std::strcmp(api, CLAP_WINDOW_API_X11) == 0 && !floating;
}
bool PreferredApi(const clap_plugin_t*, const char** api, bool* floating) {
  if (api == nullptr || floating == nullptr) return false;
  *api = CLAP_WINDOW_API_X11;
  *floating = false;
  return true;
}
bool Create(const clap_plugin_t* p, const char* api, bool floating) {
  Self(p)->CheckMainThread("gui.create");
  if (!IsApiSupported(p, api, floating) || EditorOf(p) != nullptr) return false;
  try {
    Self(p)->editor() = std::make_unique<ClapEditor>(*Self(p));
    return true;
  } catch (...) {
    return false;
  }
}
void Destroy(const clap_plugin_t* p) {
  Self(p)->CheckMainThread("gui.destroy");
  Self(p)->editor().reset();
}
bool SetScale(const clap_plugin_t* p, double scale) { return EditorOf(p) != nullptr && EditorOf(p)->SetScale(scale); }
bool GetSize(const clap_plugin_t* p, uint32_t* w, uint32_t* h) {
  return EditorOf(p) != nullptr && w != nullptr && h != nullptr && EditorOf(p)->GetSize(*w, *h);
}
bool CanResize(const clap_plugin_t*) { return false; }
bool ResizeHints(const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; }
bool AdjustSize(const clap_plugin_t* p, uint32_t* w, uint32_t* h) { return GetSize(p, w, h); }
// The window takes the sizes its zoom gives it; a host that asks for that size gets it.
bool SetSize(const clap_plugin_t* p, uint32_t w, uint32_t h) {
  uint32_t width = 0, height = 0;
  return GetSize(p, &width, &height) && width == w && height == h;
}
bool SetParent(const clap_plugin_t* p, const clap_window_t* window) {
  Self(p)->CheckMainThread("gui.set_parent");
  if (EditorOf(p) == nullptr || window == nullptr || window->api == nullptr ||
      std::strcmp(window->api, CLAP_WINDOW_API_X11) != 0 || window->x11 == 0)
    return false;
  try {
    return EditorOf(p)->SetParent(window->x11);
  } catch (...) {
    return false;
  }
}
bool SetTransient(const clap_plugin_t*, const clap_window_t*) { return false; }
void SuggestTitle(const clap_plugin_t*, const char*) {}
bool Show(const clap_plugin_t* p) { return EditorOf(p) != nullptr; }
bool Hide(const clap_plugin_t* p) { return EditorOf(p) != nullptr; }

const clap_plugin_gui_t kGui = {IsApiSupported, PreferredApi, Create,    Destroy,    SetScale,
                                GetSize,        CanResize,    ResizeHints, AdjustSize, SetSize,
                                SetParent,      SetTransient, SuggestTitle, Show,      Hide};

void OnTimer(const clap_plugin_t* p, clap_id id) {
  if (ClapEditor* e = EditorOf(p); e != nullptr && e->OwnsTimer(id)) e->Idle();
}
const clap_plugin_timer_support_t kTimer = {OnTimer};

void OnFd(const clap_plugin_t* p, int fd, uint32_t) {
  if (ClapEditor* e = EditorOf(p); e != nullptr && e->OwnsFd(fd)) e->Idle();
}
const clap_plugin_posix_fd_support_t kFd = {OnFd};

}  // namespace

const void* GuiExtension(const char* id) {
  if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &kGui;
  if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &kTimer;
  if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0) return &kFd;
  return nullptr;
}

}  // namespace qrv::clap
