#include "format/aax/QRV_Wrappers/QRV_AAX_ControllerWrapper.h"

#include <algorithm>
#include <cstring>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_Product.h"
#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_AAX_Parameters_Wrapper.h"
#include "presets/SettingsStore.h"

namespace qrv::aax {
namespace {
constexpr int kMarkerSteps = 999;  // 0.001 .. 0.999
}  // namespace

QRV_AAX_ControllerWrapper::QRV_AAX_ControllerWrapper(QRV_QVWG_2300_AAX_Parameters_Wrapper* model)
    : model_(model), bus_(std::make_unique<MessageBus>()) {
  std::memset(bus_.get(), 0, sizeof(MessageBus));
  for (auto& p : pending_) p.store(kNoPending, std::memory_order_relaxed);
  double preset[kPresetValueCount];
  for (unsigned i = 0; i < kPresetValueCount; ++i) preset[i] = GetParameterDefault(i);
  GetFactoryPreset(0, preset, nullptr, nullptr);
  for (int i = 0; i < kValueCount; ++i) {
    value_[static_cast<std::size_t>(i)] =
        i < static_cast<int>(kPresetValueCount) ? preset[i] : GetParameterDefault(static_cast<unsigned>(i));
  }
  product_ = CreateProductController(*this);
  presetManager_ = std::make_unique<PresetManager>(this);
}

QRV_AAX_ControllerWrapper::~QRV_AAX_ControllerWrapper() {
  // The manager talks to this hub while it goes; the product controller goes last.
  presetManager_.reset();
  product_.reset();
}

double QRV_AAX_ControllerWrapper::Value(int index) const {
  return index >= 0 && index < kValueCount ? value_[static_cast<std::size_t>(index)] : -1.0;
}

void QRV_AAX_ControllerWrapper::PassToProduct(int index, double value) {
  if (product_ == nullptr || reentryGuard_) return;
  reentryGuard_ = true;
  product_->ParameterChanged(index, value);
  reentryGuard_ = false;
}

void QRV_AAX_ControllerWrapper::StoreHidden(int index, double value) {
  pending_[static_cast<std::size_t>(index)].store(value, std::memory_order_relaxed);
  hiddenDirty_.store(true, std::memory_order_release);
}

void QRV_AAX_ControllerWrapper::SetParameter(int index, double value) {
  PassToProduct(index, value);
  if (index == kMessagePresetStart || index == kMessagePresetStop) {
    int& steps = index == kMessagePresetStart ? startSteps_ : stopSteps_;
    steps = steps >= kMarkerSteps ? 1 : steps + 1;
    SendToHost(index, StartStopValue(steps));
  } else {
    SendToHost(index, value);
    if (index >= 0 && index < static_cast<int>(kPresetValueCount)) {
      value_[static_cast<std::size_t>(index)] = value;
      return;
    }
  }
  if (editor_ != nullptr && index != kMessageZoom) editor_->ValueChangedByController(index, value);
  if (index >= 0 && index <= kMessageHostState) {
    StoreHidden(index, value);
    value_[static_cast<std::size_t>(index)] = value;
  }
}

void QRV_AAX_ControllerWrapper::SendToHost(int index, double value) {
  // The slots before the gain-reduction meter and the preset-load brackets reach the host; nothing else.
  const bool toHost = (index >= 0 && index < static_cast<int>(kSlotGainReduction)) || index == kMessagePresetStart ||
                      index == kMessagePresetStop;
  const char* id = toHost ? IDOfIndex(index) : nullptr;
  if (id == nullptr) return;
  if (model_ != nullptr) {
    model_->TouchParameter(id);
    model_->SetParameterNormalizedValue(id, std::clamp(value, 0.0, 1.0));
    model_->ReleaseParameter(id);
  }
  if (presetManager_ != nullptr && !loadFlag_ && index < static_cast<int>(kParameterCount) &&
      (GetParameterFlags(static_cast<unsigned>(index)) & kParameterFlagStored) != 0) {
    presetManager_->ParameterChanged(index, value);
  }
}

void QRV_AAX_ControllerWrapper::EditorChange(int index, double value) {
  if (loadCounting_) ++loadChanges_;
  if (index == kMessagePresetStart) {
    loadFlag_ = true;
    loadCounting_ = true;
    loadChanges_ = 0;
    echoes_ = 0;
  } else if (index == kMessagePresetStop) {
    loadCounting_ = false;
    expectedEchoes_ = loadChanges_ - 2;
    loadChanges_ = -1;
  }
  if (index >= 0 && index < static_cast<int>(kPresetValueCount)) {
    SendToHost(index, value);
    return;
  }
  PassToProduct(index, value);
  if (index >= 12 && editor_ != nullptr) editor_->ValueChangedByController(index, value);
  if (index >= 0 && index <= kMessageHostState) {
    StoreHidden(index, value);
    value_[static_cast<std::size_t>(index)] = value;
  }
}

void QRV_AAX_ControllerWrapper::ForwardHostUpdate(int index, double value) {
  if (expectedEchoes_ < 1) {
    SetParameter(index, value);
  } else if (echoes_ == 0) {
    SetParameter(kMessagePresetStart, 1.0);
    SetParameter(index, value);
    ++echoes_;
  } else if (echoes_ < expectedEchoes_) {
    SetParameter(index, value);
    ++echoes_;
  } else {
    SetParameter(index, value);
    SetParameter(kMessagePresetStop, 1.0);
    expectedEchoes_ = 0;
    loadFlag_ = false;
  }
}

int32_t QRV_AAX_ControllerWrapper::WriteSetting(int index, double value) {
  return settings::WriteNumber(index, value) ? 0 : -1;
}

int32_t QRV_AAX_ControllerWrapper::ReadSetting(int index, double* value) {
  if (value == nullptr) return -1;
  return settings::ReadNumber(index, *value) ? 0 : -1;
}

bool QRV_AAX_ControllerWrapper::SendMessageToProcessor(const void* bytes, std::size_t length) {
  if (length > kParameterMessageMaxSize || bus_ == nullptr) return false;
  return outgoing_.Post(bytes, length);
}

intptr_t QRV_AAX_ControllerWrapper::ForwardToEditor(int32_t selector, intptr_t value, void* data) {
  return editor_ != nullptr ? editor_->ForwardFromController(selector, value, data) : 0;
}

bool QRV_AAX_ControllerWrapper::TakeHiddenValues(std::array<double, kParameterCount>& out) {
  if (!hiddenDirty_.exchange(false, std::memory_order_acquire)) return false;
  for (unsigned i = 0; i < kParameterCount; ++i) {
    out[i] = i < static_cast<unsigned>(kHiddenFirstIndex) ? pending_[i].load(std::memory_order_relaxed)
                                                           : pending_[i].exchange(kNoPending, std::memory_order_relaxed);
  }
  return true;
}

}  // namespace qrv::aax
