#include "format/aax/sdk/AAX_CPacketDispatcher.h"

void AAX_CPacketDispatcher::Initialize(AAX_VController* controller, const AAX_CParameterManager* parameters) {
  std::lock_guard<std::recursive_mutex> g(lock_);
  controller_ = controller;
  parameters_ = parameters;
}

AAX_Result AAX_CPacketDispatcher::RegisterPacket(AAX_CParamID id, AAX_CFieldIndex port) {
  if (id == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  std::lock_guard<std::recursive_mutex> g(lock_);
  for (Entry& e : entries_) {
    if (e.id == id) {
      e.port = port;
      return AAX_SUCCESS;
    }
  }
  entries_.push_back(Entry{id, port, true});
  return AAX_SUCCESS;
}

AAX_Result AAX_CPacketDispatcher::SetDirty(AAX_CParamID id, bool dirty) {
  if (id == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  std::lock_guard<std::recursive_mutex> g(lock_);
  for (Entry& e : entries_) {
    if (e.id == id) {
      e.dirty = dirty;
      return AAX_SUCCESS;
    }
  }
  // A parameter without a port has nothing to send.
  return AAX_SUCCESS;
}

AAX_Result AAX_CPacketDispatcher::Dispatch() {
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (controller_ == nullptr || !controller_->IsValid() || parameters_ == nullptr) return AAX_ERROR_NOT_INITIALIZED;
  AAX_Result result = AAX_SUCCESS;
  for (Entry& e : entries_) {
    if (!e.dirty) continue;
    const AAX_CParameter* p = parameters_->GetParameterByID(e.id.c_str());
    if (p == nullptr) continue;
    unsigned char packet[4];
    p->PackValue(packet);
    const AAX_Result r = controller_->PostPacket(e.port, packet, sizeof packet);
    if (r != AAX_SUCCESS) {
      result = r;
      continue;  // stays dirty, sent again next time
    }
    e.dirty = false;
  }
  return result;
}

AAX_CFieldIndex AAX_CPacketDispatcher::PortOf(AAX_CParamID id) const {
  if (id == nullptr) return -1;
  std::lock_guard<std::recursive_mutex> g(lock_);
  for (const Entry& e : entries_) {
    if (e.id == id) return e.port;
  }
  return -1;
}
