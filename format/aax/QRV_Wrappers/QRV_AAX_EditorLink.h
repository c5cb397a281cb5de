// What the parameter hub needs from an open editor; the editor hosting implements it. Main thread.
#pragma once

#include <cstdint>

namespace qrv::aax {

class QRV_AAX_EditorLink {
 public:
  virtual ~QRV_AAX_EditorLink() = default;
  // The editor's value-changed-by-controller operation.
  virtual void ValueChangedByController(int index, double value) = 0;
  // The editor's operation matching the master controller's slot 7.
  virtual intptr_t ForwardFromController(int32_t selector, intptr_t value, void* data) = 0;
};

}  // namespace qrv::aax
