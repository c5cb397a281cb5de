#include "tests/lv2ui/UiHost.h"

#include <dlfcn.h>
#include <lv2/atom/atom.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "format/lv2/Lv2Uris.h"

namespace qrv::lv2::test {
namespace {

int LogV(LV2_Log_Handle h, LV2_URID, const char* format, va_list args) {
  char text[1024];
  const int n = std::vsnprintf(text, sizeof text, format, args);
  static_cast<UiHost*>(h)->logged.emplace_back(text);
  return n;
}

int LogF(LV2_Log_Handle h, LV2_URID type, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = LogV(h, type, format, args);
  va_end(args);
  return n;
}

}  // namespace

std::string BundleDir() { return QRV_LV2_BUNDLE_DIR; }

UiLibrary::UiLibrary() {
  const std::string path = BundleDir() + "/" + QRV_LV2_UI_BINARY;
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* e = dlerror();
    error_ = e != nullptr ? e : "dlopen failed";
    return;
  }
  auto get = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(handle_, "lv2ui_descriptor"));
  if (get == nullptr) {
    error_ = "no lv2ui_descriptor";
    return;
  }
  descriptor_ = get(0);
}

UiLibrary::~UiLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

LV2_URID UiHost::Map(const char* uri) {
  auto [it, inserted] = urids_.try_emplace(uri, static_cast<LV2_URID>(urids_.size() + 1));
  return it->second;
}

UiHost::UiHost(const UiLibrary& library, const Options& o) : descriptor_(library.descriptor()) {
  if (descriptor_ == nullptr) return;
  map_.handle = this;
  map_.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UiHost*>(h)->Map(uri); };
  resize_.handle = this;
  resize_.ui_resize = [](LV2UI_Feature_Handle h, int w, int hh) {
    if (static_cast<UiHost*>(h)->onHostCall_) static_cast<UiHost*>(h)->onHostCall_();
    static_cast<UiHost*>(h)->sizes.emplace_back(w, hh);
    return 0;
  };
  touch_.handle = this;
  touch_.touch = [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
    if (static_cast<UiHost*>(h)->onHostCall_) static_cast<UiHost*>(h)->onHostCall_();
    static_cast<UiHost*>(h)->events.push_back({grabbed ? HostEvent::kGrab : HostEvent::kRelease, port, 0.0f});
  };
  log_ = {this, LogF, LogV};
  onHostCall_ = o.onHostCall;
  scale_ = o.scaleFactor;
  if (o.scaleFactor > 0) {
    options_.push_back(
        {LV2_OPTIONS_INSTANCE, 0, Map(LV2_UI__scaleFactor), sizeof(float), Map(LV2_ATOM__Float), &scale_});
  }
  options_.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});

  features_.push_back({LV2_URID__map, &map_});
  features_.push_back({LV2_OPTIONS__options, options_.data()});
  features_.push_back({LV2_UI__idleInterface, nullptr});
  if (o.parent != 0) features_.push_back({LV2_UI__parent, reinterpret_cast<void*>(o.parent)});
  if (o.resize) features_.push_back({LV2_UI__resize, &resize_});
  if (o.touch) features_.push_back({LV2_UI__touch, &touch_});
  if (o.log) features_.push_back({LV2_LOG__log, &log_});
  if (o.instance != nullptr) features_.push_back({"http://lv2plug.in/ns/ext/instance-access", o.instance});
  std::vector<const LV2_Feature*> list;
  for (const LV2_Feature& f : features_) list.push_back(&f);
  list.push_back(nullptr);

  auto write = [](LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
    if (protocol != 0 || size != sizeof(float)) return;
    float v;
    std::memcpy(&v, buffer, sizeof v);
    if (static_cast<UiHost*>(c)->onHostCall_) static_cast<UiHost*>(c)->onHostCall_();
    static_cast<UiHost*>(c)->events.push_back({HostEvent::kWrite, port, v});
  };
  const char* plugin = o.pluginUri != nullptr ? o.pluginUri : kPluginUriStereo;
  handle_ = descriptor_->instantiate(descriptor_, plugin, BundleDir().c_str(), write, this, &widget_, list.data());
  if (handle_ != nullptr && descriptor_->extension_data != nullptr) {
    idle_ = static_cast<const LV2UI_Idle_Interface*>(descriptor_->extension_data(LV2_UI__idleInterface));
  }
}

UiHost::~UiHost() {
  if (handle_ != nullptr) descriptor_->cleanup(handle_);
}

int UiHost::Idle() { return idle_ != nullptr ? idle_->idle(handle_) : -1; }

void UiHost::PortEvent(uint32_t port, float value) {
  if (handle_ != nullptr) descriptor_->port_event(handle_, port, sizeof value, 0, &value);
}

}  // namespace qrv::lv2::test
