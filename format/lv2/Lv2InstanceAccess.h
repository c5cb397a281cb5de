// What the LV2 UI reaches of its plug-in instance through the instance-access feature: the handle the
// host passes is this interface of the instance, called across the plug-in and UI binaries through its
// vtable. The PresetManager handed out and the lock are the instance's own, on the one copy of the
// process-wide state (settings, platform services, preset library) in the bundle's shared library,
// which both binaries link.
//
// Threads: every operation is called on the host's UI thread. The UI holds the process-wide PresetLock,
// which the instance's state save and restore take on the host's threads; the audio thread never takes it.
#pragma once

#include <cstdint>

#include "controller/InstancePresets.h"

namespace qrv::lv2 {

class Lv2InstanceAccess {
 public:
  // Builds the instance's preset state when needed, lets it learn the current port values and links
  // the UI to it, which is then told of each value the preset state sends while the UI holds the lock
  // (the preset-load markers 70 and 71 and the stored slots between them, and messages). Returns the
  // instance's PresetManager. Takes the lock itself.
  virtual PresetManager* AttachEditor(PresetValueSink* link) = 0;
  // Unlinks link if it is the linked one. Takes the lock itself.
  virtual void DetachEditor(PresetValueSink* link) = 0;
  // Counts the host's state restores that changed the preset state; the UI refreshes when it moves.
  virtual uint32_t RestoreCount() const = 0;
  // The instance's High quality (any thread): the next Run takes it and its latency port reports the
  // delay; the host learns it with the next state save.
  virtual bool HighQuality() const = 0;
  virtual void SetHighQuality(bool on) = 0;

 protected:
  ~Lv2InstanceAccess() = default;
};

}  // namespace qrv::lv2
