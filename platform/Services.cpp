#include "platform/Services.h"

namespace qrv::platform {
namespace {

Services& Overrides() {
  static Services s;
  return s;
}

}  // namespace

Registry& GetRegistry() {
#ifdef _WIN32
  static WindowsRegistry system;
#else
  static FileRegistry system;
#endif
  Registry* r = Overrides().registry;
  return r != nullptr ? *r : system;
}

Shell& GetShell() {
  static SystemShell system;
  Shell* s = Overrides().shell;
  return s != nullptr ? *s : system;
}

MessageBox& GetMessageBox() {
  static SystemMessageBox system;
  MessageBox* m = Overrides().messageBox;
  return m != nullptr ? *m : system;
}

Clock& GetClock() {
  static SystemClock system;
  Clock* c = Overrides().clock;
  return c != nullptr ? *c : system;
}

Clipboard* GetClipboardOverride() { return Overrides().clipboard; }

ScopedServices::ScopedServices(const Services& replacement) : saved_(Overrides()) {
  Services& s = Overrides();
  if (replacement.registry) s.registry = replacement.registry;
  if (replacement.shell) s.shell = replacement.shell;
  if (replacement.messageBox) s.messageBox = replacement.messageBox;
  if (replacement.clock) s.clock = replacement.clock;
  if (replacement.clipboard) s.clipboard = replacement.clipboard;
}

ScopedServices::~ScopedServices() { Overrides() = saved_; }

}  // namespace qrv::platform
