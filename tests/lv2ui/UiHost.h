// A small LV2 UI host for the tests: loads the bundle's binary with dlopen, offers the features a
// real host offers (parent window, resize, touch, URID map, options with the scale factor) and records
// what the UI asks of it: port writes, gesture brackets and size requests.
#pragma once

#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qrv::lv2::test {

// "QRV warmGlow.lv2" in the build tree.
std::string BundleDir();

// What the UI did through the host, in order: a port write, or the start or end of a gesture.
struct HostEvent {
  enum Kind { kWrite, kGrab, kRelease } kind;
  uint32_t port;
  float value;  // writes only
};

// One load of the bundle's binary for its UI entry point; unloads at destruction.
class UiLibrary {
 public:
  UiLibrary();
  ~UiLibrary();
  UiLibrary(const UiLibrary&) = delete;
  UiLibrary& operator=(const UiLibrary&) = delete;
  const LV2UI_Descriptor* descriptor() const { return descriptor_; }
  const std::string& error() const { return error_; }

 private:
  void* handle_ = nullptr;
  const LV2UI_Descriptor* descriptor_ = nullptr;
  std::string error_;
};

class UiHost {
 public:
  struct Options {
    unsigned long parent = 0;
    float scaleFactor = 0;  // 0: not offered
    bool touch = true;
    bool resize = true;
    const char* pluginUri = nullptr;  // default: the stereo plug-in
    void* instance = nullptr;         // the plug-in's LV2_Handle, offered through instance-access
    bool log = true;
    // Called at the start of each port write, touch and size request, on the calling thread.
    std::function<void()> onHostCall = nullptr;
  };

  UiHost(const UiLibrary& library, const Options& options);
  ~UiHost();
  UiHost(const UiHost&) = delete;
  UiHost& operator=(const UiHost&) = delete;

  bool ok() const { return handle_ != nullptr; }
  unsigned long widget() const { return reinterpret_cast<unsigned long>(widget_); }
  // The idle interface's call; -1 when the UI offers none.
  int Idle();
  void PortEvent(uint32_t port, float value);

  std::vector<HostEvent> events;
  std::vector<std::pair<int, int>> sizes;
  std::vector<std::string> logged;

 private:
  LV2_URID Map(const char* uri);

  const LV2UI_Descriptor* descriptor_;
  LV2UI_Handle handle_ = nullptr;
  LV2UI_Widget widget_ = nullptr;
  const LV2UI_Idle_Interface* idle_ = nullptr;
  std::map<std::string, LV2_URID> urids_;
  LV2_URID_Map map_{};
  LV2UI_Resize resize_{};
  LV2UI_Touch touch_{};
  LV2_Log_Log log_{};
  std::function<void()> onHostCall_;
  float scale_ = 0;
  std::vector<LV2_Options_Option> options_;
  std::vector<LV2_Feature> features_;
};

}  // namespace qrv::lv2::test
