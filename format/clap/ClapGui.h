// The CLAP editor: the editor session (the window with its preset bar) embedded in the host's X11
// parent, behind the session's host seam. Knob and switch edits go to the host as parameter values
// bracketed by gesture events (through the instance's edit queue and a flush request); values the host
// sets and the gain-reduction reading reach the window at each idle call; the preset bar works on the
// instance's own PresetManager. Idle runs on the host's timer-support (33 ms) and on its
// posix-fd-support for the X connection's descriptor.
//
// Threads: everything here runs on the host's main thread.
#pragma once

#include <cstdint>

#include "format/clap/ClapAbi.h"
#include "gui/editor/EditorSession.h"
#include "gui/editor/QRVEditorHost.h"
#include "platform/ProductFacts.h"

namespace qrv::clap {

class ClapPlugin;

// The gui, timer-support and posix-fd-support extensions of a plug-in, or null for another id.
const void* GuiExtension(const char* id);

class ClapEditor final : public Quarrytone::QRVEditorHost {
 public:
  static constexpr uint32_t kIdleMs = qrv::product::kIdlePeriodMs;

  explicit ClapEditor(ClapPlugin& plugin);
  ~ClapEditor() override;
  ClapEditor(const ClapEditor&) = delete;
  ClapEditor& operator=(const ClapEditor&) = delete;

  bool SetScale(double scale);
  bool GetSize(uint32_t& width, uint32_t& height) const;
  // Opens the window inside parent. False without an X display.
  bool SetParent(unsigned long parent);
  // One idle call: values and meter to the window, X events, due timers, repaints.
  void Idle();
  bool OwnsTimer(clap_id id) const { return timer_ != CLAP_INVALID_ID && id == timer_; }
  bool OwnsFd(int fd) const { return fd_ >= 0 && fd == fd_; }

  // ---- Quarrytone::QRVEditorHost: the session's reports
  void beginEdit(int tag) override;
  void endEdit(int tag) override;
  void setValue(int index, double value) override;
  void resizeRequest(int width, int height) override;
  int highQuality() override;
  void setHighQuality(bool on) override;

 private:
  ClapPlugin& plugin_;
  const clap_host_t* host_;
  const clap_host_gui_t* hostGui_ = nullptr;
  const clap_host_timer_support_t* hostTimer_ = nullptr;
  const clap_host_posix_fd_support_t* hostFd_ = nullptr;
  clap_id timer_ = CLAP_INVALID_ID;
  int fd_ = -1;
  Quarrytone::EditorSession session_;
};

}  // namespace qrv::clap
