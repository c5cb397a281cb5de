// The VST3 editor: the editor session (the window with its preset bar) embedded in the host's X11
// parent (X11EmbedWindowID). Edits in the window go to the host through the component handler as
// beginEdit / performEdit / endEdit, queued and handed over after the window's event handling (never
// under the preset lock); values the host sets and the gain-reduction reading reach the window at each
// idle call. The configuration's High quality goes to the instance at once and to the host as an edit
// of its parameter, followed by a restart for the latency. It idles on the host's run loop, asked of the
// plug frame: the X connection's descriptor as an event handler and the 33 ms timer. The host's content scale is the zoom it opens at; a size change
// is asked of the plug frame (resizeView). It cannot be resized by the host.
//
// Threads: the host's UI thread only.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "format/vst3/Vst3Abi.h"
#include "gui/editor/EditorSession.h"
#include "gui/editor/QRVEditorHost.h"

namespace qrv::vst3 {

class Vst3Plugin;

class Vst3View final : public abi::IPlugView,
                       public abi::IPlugViewContentScaleSupport,
                       public abi::Linux::IEventHandler,
                       public abi::Linux::ITimerHandler,
                       private Quarrytone::QRVEditorHost {
 public:
  explicit Vst3View(Vst3Plugin& plugin);
  Vst3View(const Vst3View&) = delete;
  Vst3View& operator=(const Vst3View&) = delete;

  // FUnknown
  abi::tresult queryInterface(const abi::TUID id, void** obj) override;
  uint32_t addRef() override;
  uint32_t release() override;
  // IPlugView
  abi::tresult isPlatformTypeSupported(abi::FIDString type) override;
  abi::tresult attached(void* parent, abi::FIDString type) override;
  abi::tresult removed() override;
  abi::tresult onWheel(float) override { return abi::kResultFalse; }
  abi::tresult onKeyDown(abi::TChar, int16_t, int16_t) override { return abi::kResultFalse; }
  abi::tresult onKeyUp(abi::TChar, int16_t, int16_t) override { return abi::kResultFalse; }
  abi::tresult getSize(abi::ViewRect* size) override;
  abi::tresult onSize(abi::ViewRect* newSize) override;
  abi::tresult onFocus(abi::TBool) override { return abi::kResultOk; }
  abi::tresult setFrame(abi::IPlugFrame* frame) override;
  abi::tresult canResize() override { return abi::kResultFalse; }
  abi::tresult checkSizeConstraint(abi::ViewRect* rect) override;
  // IPlugViewContentScaleSupport
  abi::tresult setContentScaleFactor(ScaleFactor factor) override;
  // Linux::IEventHandler, Linux::ITimerHandler: one idle call each.
  void onFDIsSet(abi::Linux::FileDescriptor fd) override;
  void onTimer() override;

 private:
  ~Vst3View();
  void Idle();
  void SendEdits();
  void Register();
  void Unregister();

  // QRVEditorHost: the session's reports.
  void beginEdit(int tag) override;
  void endEdit(int tag) override;
  void setValue(int index, double value) override;
  void resizeRequest(int width, int height) override;
  int highQuality() override;
  void setHighQuality(bool on) override;

  // kLatency: the host is asked to restart for the instance's new latency.
  enum class EditType { kBegin, kValue, kEnd, kLatency };
  struct Edit {
    EditType type;
    abi::ParamID id;
    double value;  // normalised, for the host
  };

  std::atomic<uint32_t> refs_{1};
  Vst3Plugin& plugin_;  // holds a reference
  abi::Ref<abi::IPlugFrame> frame_;
  abi::Ref<abi::Linux::IRunLoop> runLoop_;  // while registered
  int fd_ = -1;
  bool timer_ = false;
  std::vector<Edit> edits_;
  Quarrytone::EditorSession session_;
};

}  // namespace qrv::vst3
