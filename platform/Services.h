// The process-wide platform services the preset system calls. Defaults are the system ones; tests
// replace any of them for a scope. Set overrides on the main thread while no instance runs.
#pragma once

#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

namespace qrv::platform {

struct Services {
  Registry* registry = nullptr;    // FileRegistry at DefaultRegistryFile(); Windows: WindowsRegistry
  Shell* shell = nullptr;          // SystemShell (xdg-open; Windows: the shell's open verb)
  MessageBox* messageBox = nullptr;  // SystemMessageBox (xmessage, else stderr; Windows: MessageBoxW)
  Clock* clock = nullptr;          // SystemClock
  Clipboard* clipboard = nullptr;  // none: users of the clipboard pick their own default
};

Registry& GetRegistry();
Shell& GetShell();
MessageBox& GetMessageBox();
Clock& GetClock();
// The overriding clipboard, or nullptr when none is set.
Clipboard* GetClipboardOverride();

// Replaces the non-null members of `replacement` until destruction.
class ScopedServices {
 public:
  explicit ScopedServices(const Services& replacement);
  ~ScopedServices();
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  Services saved_;
};

}  // namespace qrv::platform
