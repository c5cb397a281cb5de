// The product panel: mode switch, six film-strip knobs, the gain-reduction meter and the name button
// that opens the about box, built through the graphics engine. Translates between control tags and
// parameter slots and animates the needle between meter readings. GUI thread only.
#pragma once

#include <cstdint>

#include "gui/engine/EditorLayout.h"
#include "gui/controls/QRVControls.h"
#include "presets/IndexTable.h"
#include "product/ProductControls.h"
#include "gui/engine/QRVBaseEditor.h"

namespace qrv {

inline constexpr double kEditorWidth = Quarrytone::layout::kPanelWidth;
inline constexpr double kEditorHeight = Quarrytone::layout::kPanelHeight;
// The editor's size while the preset browser is open.
inline constexpr double kBrowserEditorWidth = 420;
inline constexpr double kBrowserEditorHeight = 415;

class warmGlowEditor final : public QRVBaseEditor {
 public:
  explicit warmGlowEditor(QRVMasterGraphicalEngine* engine);
  ~warmGlowEditor() override;

  bool Open() override;
  void Close() override;
  void ControllerValueChanged(int index, double value) override;
  void ControlValueChanged(int tag, double value) override;
  void Idle() override;

  // The controls of the open panel (null while closed or when the image is missing).
  QRVHorizontalSwitch* modeSwitch() const { return mode_; }
  QRVAnimKnob* knob(int slot) const;
  COldVuMeter2* meter() const { return meter_; }
  QRVKickButton* nameButton() const { return name_; }
  CInfo* about() const { return about_; }
  QRVViewContainer* aboutContainer() const { return aboutContainer_; }

 private:
  void ResetMeterHistory();
  static uint32_t Now();

  QRVMasterGraphicalEngine* engine_;
  QRVViewContainer* main_ = nullptr;
  QRVViewContainer* aboutContainer_ = nullptr;
  QRVHorizontalSwitch* mode_ = nullptr;
  QRVAnimKnob* knobs_[8] = {};
  COldVuMeter2* meter_ = nullptr;
  QRVKickButton* name_ = nullptr;
  CInfo* about_ = nullptr;

  double previousReading_ = 0.0;
  double latestReading_ = 0.0;
  double previousTime_ = 0.0;
  double latestTime_ = 0.0;
  bool jump_ = true;
};

// For the editor window: makes the product editor for an engine.
QRVBaseEditor* CreateProductEditor(QRVMasterGraphicalEngine* engine);

}  // namespace qrv
