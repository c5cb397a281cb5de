// The host's parameter hub of one instance (QRVMasterController): carries values between the product
// controller, the PresetManager, the editor and the host parameters, brackets preset loads, and keeps the
// values of the non-host indices and the outgoing message for the direct-data object.
//
// Threads: everything runs on the host's main thread except the three exchanges the direct-data timer
// thread uses (TakeHiddenValues, TakeOutgoingMessage, BusImage), which are lock-free.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "dsp/QRVBaseAudioProcessor.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_EditorLink.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_Mailbox.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_RenderContext.h"
#include "presets/PresetManager.h"
#include "presets/QRVBaseParametersController.h"
#include "presets/QRVMasterController.h"

namespace qrv::aax {

class QRV_QVWG_2300_AAX_Parameters_Wrapper;

inline constexpr int kValueCount = 30;
inline constexpr double kNoPending = -1.0;
inline constexpr const char* kPresetStartID = "PresetSTART";
inline constexpr const char* kPresetStopID = "PresetSTOP";

class QRV_AAX_ControllerWrapper final : public QRVMasterController {
 public:
  explicit QRV_AAX_ControllerWrapper(QRV_QVWG_2300_AAX_Parameters_Wrapper* model);
  ~QRV_AAX_ControllerWrapper() override;
  QRV_AAX_ControllerWrapper(const QRV_AAX_ControllerWrapper&) = delete;
  QRV_AAX_ControllerWrapper& operator=(const QRV_AAX_ControllerWrapper&) = delete;

  // QRVMasterController.
  void SetParameter(int index, double value) override;
  int32_t WriteSetting(int index, double value) override;
  int32_t ReadSetting(int index, double* value) override;
  bool SendMessageToProcessor(const void* bytes, std::size_t length) override;
  PresetManager* GetPresetManager() override { return presetManager_.get(); }
  QRVBaseParametersController* GetParametersController() override { return product_.get(); }
  intptr_t ForwardToEditor(int32_t selector, intptr_t value, void* data) override;

  // The editor reports a change (the editor wrapper's parameter-changed operation).
  void EditorChange(int index, double value);
  // A host update of parameter index 0..11 that the host reports as touched.
  void ForwardHostUpdate(int index, double value);
  // Touch, set and release of the index's host parameter; then the PresetManager hears of it.
  void SendToHost(int index, double value);

  // The data model the hub belongs to (null in a hub made without one).
  QRV_QVWG_2300_AAX_Parameters_Wrapper* model() const { return model_; }

  void SetEditor(QRV_AAX_EditorLink* editor) { editor_ = editor; }
  QRV_AAX_EditorLink* editor() const { return editor_; }

  // Last known value of index 0..29 (-1.0 beyond).
  double Value(int index) const;
  float StartCounter() const { return StartStopValue(startSteps_); }
  float StopCounter() const { return StartStopValue(stopSteps_); }
  bool LoadFlag() const { return loadFlag_; }
  int32_t ExpectedEchoCount() const { return expectedEchoes_; }

  // Direct-data timer thread: when the hidden values changed since the last call, moves pending values
  // of indices 12..28 into out (kNoPending where none) and answers true.
  bool TakeHiddenValues(std::array<double, kParameterCount>& out);
  // Direct-data timer thread: the message queued by SendMessageToProcessor, if one is new.
  bool TakeOutgoingMessage(unsigned char (&bytes)[kParameterMessageMaxSize], uint64_t& length) {
    return outgoing_.Take(bytes, length);
  }
  // The MessageBus image: the direct-data timer thread's copy of the halves it reads and writes; used
  // by that thread only.
  MessageBus& BusImage() { return *bus_; }

 private:
  static float StartStopValue(int steps) { return static_cast<float>(steps) * 0.001f; }
  void PassToProduct(int index, double value);
  void StoreHidden(int index, double value);

  QRV_QVWG_2300_AAX_Parameters_Wrapper* model_;
  std::unique_ptr<QRVBaseParametersController> product_;
  bool reentryGuard_ = false;
  std::unique_ptr<PresetManager> presetManager_;
  bool loadFlag_ = false;
  bool loadCounting_ = false;
  int32_t expectedEchoes_ = 0;
  int32_t loadChanges_ = 0;
  int32_t echoes_ = 0;
  QRV_AAX_EditorLink* editor_ = nullptr;
  std::array<double, kValueCount> value_{};
  std::atomic<bool> hiddenDirty_{false};
  std::array<std::atomic<double>, kValueCount> pending_;
  std::unique_ptr<MessageBus> bus_;
  Mailbox<kParameterMessageMaxSize> outgoing_;
  // The START and STOP markers run through 0.001 .. 0.999 in steps of 0.001; kept as step counts so that
  // the sequence is exact.
  int startSteps_ = 0;
  int stopSteps_ = 0;
};

}  // namespace qrv::aax
