// Module-wide state of the host binding: the module handle and the count of users of the toolkit's
// platform layer, shared by InitDll/ExitDll and the editor hosting. Loading and main thread.
#pragma once

namespace qrv::aax {

// Brings the toolkit's platform layer up and down; installed by the editor hosting. Without one, only
// the user count moves.
class PlatformLayer {
 public:
  virtual ~PlatformLayer() = default;
  virtual void Up(void* moduleHandle) = 0;
  virtual void Down() = 0;
};
void SetPlatformLayer(PlatformLayer* layer);

// Base address of the loaded module, saved when it is loaded.
void* ModuleHandle();

// 0 -> 1 brings the platform layer up.
void AddToolkitUser();
// 1 -> 0 takes it down and answers true; otherwise answers whether the count is still >= 0. The count
// never goes below 0.
bool RemoveToolkitUser();
int ToolkitUserCount();

}  // namespace qrv::aax
