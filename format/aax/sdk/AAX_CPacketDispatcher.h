// Maps host parameters to the data-in ports of the render context and posts the packets of changed
// parameters. Main thread; the port table is guarded by a mutex the owning thread may take again.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "format/aax/sdk/AAX_CParameter.h"
#include "format/aax/sdk/AAX_VController.h"

class AAX_CPacketDispatcher {
 public:
  void Initialize(AAX_VController* controller, const AAX_CParameterManager* parameters);
  AAX_Result RegisterPacket(AAX_CParamID id, AAX_CFieldIndex port);
  AAX_Result SetDirty(AAX_CParamID id, bool dirty = true);
  // Posts the packet of every dirty parameter, in registration order, and clears the marks.
  AAX_Result Dispatch();
  // The port of a parameter, -1 when it has none.
  AAX_CFieldIndex PortOf(AAX_CParamID id) const;

 private:
  struct Entry {
    std::string id;
    AAX_CFieldIndex port;
    bool dirty;
  };
  mutable std::recursive_mutex lock_;
  std::vector<Entry> entries_;
  AAX_VController* controller_ = nullptr;
  const AAX_CParameterManager* parameters_ = nullptr;
};
