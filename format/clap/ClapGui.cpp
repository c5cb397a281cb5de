#include "format/clap/ClapGui.h"

#include <cstring>
#include <new>

#include "dsp/ParameterSet.h"
#include "format/clap/ClapParams.h"
#include "format/clap/ClapPlugin.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "product/warmGlowEditor.h"

namespace qrv::clap {

ClapEditor::ClapEditor(ClapPlugin& plugin)
    : plugin_(plugin), host_(plugin.host()), session_(&CreateProductEditor, Quarrytone::PresetBarEditorFactory(), *this) {
  if (host_ != nullptr && host_->get_extension != nullptr) {
    hostGui_ = static_cast<const clap_host_gui_t*>(host_->get_extension(host_, CLAP_EXT_GUI));
    hostTimer_ = static_cast<const clap_host_timer_support_t*>(host_->get_extension(host_, CLAP_EXT_TIMER_SUPPORT));
    hostFd_ = static_cast<const clap_host_posix_fd_support_t*>(host_->get_extension(host_, CLAP_EXT_POSIX_FD_SUPPORT));
  }
}

ClapEditor::~ClapEditor() {
  if (timer_ != CLAP_INVALID_ID && hostTimer_ != nullptr) hostTimer_->unregister_timer(host_, timer_);
  if (fd_ >= 0 && hostFd_ != nullptr) hostFd_->unregister_fd(host_, fd_);
  plugin_.state().DetachEditor(&session_);
  session_.Close();
}

bool ClapEditor::SetScale(double scale) { return session_.SetScale(scale); }

bool ClapEditor::GetSize(uint32_t& width, uint32_t& height) const {
  const Quarrytone::layout::PixelSize size = session_.Size();
  width = static_cast<uint32_t>(size.width);
  height = static_cast<uint32_t>(size.height);
  return width > 0 && height > 0;
}

bool ClapEditor::SetParent(unsigned long parent) {
  if (session_.IsOpen()) return false;
  session_.AttachPresets(plugin_.state().AttachEditor(&session_));
  session_.RestoreCount(plugin_.LoadCount());
  if (!session_.Open(parent)) {
    plugin_.Log(CLAP_LOG_ERROR, "the editor needs an X display");
    return false;
  }
  for (unsigned slot : kControlSlots) session_.ShowValue(static_cast<int>(slot), plugin_.Normalised(slot));
  bool idle = false;
  if (hostTimer_ != nullptr && hostTimer_->register_timer(host_, kIdleMs, &timer_)) {
    idle = true;
  } else {
    timer_ = CLAP_INVALID_ID;
  }
  const int fd = Quarrytone::EditorSession::ConnectionFd();
  if (fd >= 0 && hostFd_ != nullptr && hostFd_->register_fd(host_, fd, CLAP_POSIX_FD_READ)) fd_ = fd;
  if (!idle) {
    plugin_.Log(CLAP_LOG_WARNING,
                fd_ >= 0 ? "the host offers no timer-support: the editor idles only when X events arrive"
                         : "the host offers neither timer-support nor posix-fd-support: the editor cannot idle");
  }
  return true;
}

void ClapEditor::Idle() {
  if (!session_.IsOpen()) return;
  session_.RestoreCount(plugin_.LoadCount());
  // Host automation, generic controls or a flushed value.
  for (unsigned slot : kControlSlots) session_.HostValue(static_cast<int>(slot), plugin_.Normalised(slot));
  session_.Meter(plugin_.MeterReading());
  session_.Idle();
}

void ClapEditor::setValue(int index, double value) {
  if (index >= 0) plugin_.EditValue(static_cast<unsigned>(index), value);
}

int ClapEditor::highQuality() { return plugin_.HighQuality() ? 1 : 0; }

void ClapEditor::setHighQuality(bool on) { plugin_.EditHighQuality(on); }

void ClapEditor::resizeRequest(int width, int height) {
  if (hostGui_ != nullptr) hostGui_->request_resize(host_, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
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
