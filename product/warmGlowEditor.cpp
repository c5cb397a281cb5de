#include "product/warmGlowEditor.h"

#include <algorithm>
#include <cmath>

#include "dsp/ParameterSet.h"
#include "gui/engine/QRVEngineServices.h"
#include "platform/Services.h"
#include "presets/IndexTable.h"

namespace qrv {
namespace {

// One film-strip knob of the panel: where it sits, its strip and how it answers drag and wheel.
struct KnobSpec {
  unsigned slot;
  int image;
  QRVPoint at;
  int frames;
  int columns;
  double defaultValue;
  double wheelStep;
  double fineFactor;
  double dragPixels;
  double fineDragPixels;
  const char* tooltip;
};

// Film-strip frames (positions of the stepped controls), from the control table.
constexpr int Frames(unsigned slot) { return KnobFrames(ControlShapeOf(slot)); }
constexpr int kRatioPositions = Frames(kSlotRatio);
constexpr int kAttackPositions = Frames(kSlotAttackRatio);
constexpr int kValvePositions = Frames(kSlotValveLevel);

// clang-format off
// In the order they are added (later ones lie on top). The wheel steps of AttackRatio and ValveLevel are a
// seventh, as the panel has always turned (a notch moves half a step: the knob's own wheel rule).
constexpr KnobSpec kKnobs[] = {
    {kSlotTime, kImageTimeKnob, TopLeft(art::kTimeKnob), Frames(kSlotTime), 5, 0.5, 0.1, 0.5, 300, 1500,
     "Sets up the combined attack and release time"},
    {kSlotCompression, kImageCompressionKnob, TopLeft(art::kCompressionKnob), Frames(kSlotCompression), 7, 0.5, 0.05, 0.2, 300, 1500,
     "Controls the amount of gain reduction by adjusting the threshold point"},
    // A wheel notch of the output knob is one 0.5 dB step of its 0..30 dB.
    {kSlotOutput, kImageOutputKnob, TopLeft(art::kOutputKnob), Frames(kSlotOutput), 8, 0.0,
     1.0 / ControlShapeOf(kSlotOutput).engineSteps, 0.2, 300, 1500,
     "Controls the level of the processed signal"},
    // One wheel step of the ratio knob is one of its positions.
    {kSlotRatio, kImageRatioKnob, TopLeft(art::kRatioKnob), kRatioPositions, 1, 0.5, 1.0 / (kRatioPositions - 1), 1.0, 150, 150,
     "Controls current compression ratio"},
    {kSlotAttackRatio, kImageAttackKnob, TopLeft(art::kAttackKnob), kAttackPositions, 1, 0.5, 1.0 / 7, 1.0, 100, 100,
     "Controls the ratio between the attack and release"},
    {kSlotValveLevel, kImageValveKnob, TopLeft(art::kValveKnob), kValvePositions, 1, 0.5, 1.0 / 7, 1.0, 100, 100,
     "Sets up a valve processing reference level"},
};
// clang-format on

constexpr QRVPoint kModeSwitchAt = TopLeft(art::kModeSwitch);
constexpr int kModePositions = Frames(kSlotProcess);
constexpr QRVRect kMeterRect = ToRect(art::kMeterFace);
constexpr QRVRect kNameRect = ToRect(art::kNameButton);
constexpr QRVRect kPanelRect{0, 0, kEditorWidth, kEditorHeight};

// A strip frame's rectangle at (left, top): the bitmap's layout size divided into its grid.
QRVRect FrameRect(QRVBitmap* bitmap, QRVPoint at, int frames, int columns) {
  const int rows = (frames + columns - 1) / columns;
  return QRVRect{at.x, at.y, at.x + bitmap->getWidth() / columns, at.y + bitmap->getHeight() / rows};
}

void Redraw(QRVBaseControl* control) {
  if (control) control->invalidPeer();
}

// Slots 2..7: the six knobs, each reporting its own slot.
bool IsKnobSlot(int index) {
  return index >= static_cast<int>(kSlotRatio) && index <= static_cast<int>(kSlotValveLevel);
}

// The mode switch runs Valve..Off from left to right, the parameter Off..Valve: one is 1 minus the other.
double SwitchFromMode(double mode) { return 1.0 - mode; }

}  // namespace

warmGlowEditor::warmGlowEditor(QRVMasterGraphicalEngine* engine) : engine_(engine) {}

warmGlowEditor::~warmGlowEditor() {
  // Views belong to the engine's tree; only an about box that was never shown is ours.
  if (aboutContainer_ && engine_ && !engine_->containsContainer(aboutContainer_)) delete aboutContainer_;
}

QRVAnimKnob* warmGlowEditor::knob(int slot) const { return slot >= 0 && slot < 8 ? knobs_[slot] : nullptr; }

uint32_t warmGlowEditor::Now() { return platform::GetClock().TickCount(); }

void warmGlowEditor::ResetMeterHistory() {
  previousReading_ = latestReading_ = 0.0;
  previousTime_ = latestTime_ = 0.0;
  jump_ = true;
}

bool warmGlowEditor::Open() {
  if (!engine_ || main_) return main_ != nullptr;
  setRect(0, 0, kEditorWidth, kEditorHeight);
  QRVBitmap* panel = Quarrytone::GetSharedBitmap(kImagePanel);
  if (panel) engine_->setBackground(panel);
  main_ = engine_->createViewContainer(kPanelRect);
  if (!main_) return false;
  if (panel) main_->setBackground(panel);
  engine_->addContainer(main_);

  if (QRVBitmap* b = Quarrytone::GetSharedBitmap(kImageModeSwitch)) {
    mode_ = new QRVHorizontalSwitch(FrameRect(b, kModeSwitchAt, kModePositions, 1), kSlotProcess, b);
    mode_->positions_ = kModePositions;
    // A reset selects the parameter's default (Valve), not the switch's own default (Off).
    mode_->setDefaultValue(SwitchFromMode(GetParameterDefault(kSlotProcess)));
    mode_->setValue(SwitchFromMode(mode_->getValue()));
    mode_->setTooltip("Engages compression (Valve / Clear) or disengages (Off) plug-in's processing");
    main_->addControl(mode_);
  }
  for (const KnobSpec& k : kKnobs) {
    QRVBitmap* b = Quarrytone::GetSharedBitmap(k.image);
    if (!b) continue;
    auto* knob =
        new QRVAnimKnob(FrameRect(b, k.at, k.frames, k.columns), static_cast<int>(k.slot), b, k.frames, k.columns);
    knob->setDefaultValue(k.defaultValue);
    knob->wheelStep_ = k.wheelStep;
    knob->fineFactor_ = k.fineFactor;
    knob->dragPixels_ = k.dragPixels;
    knob->fineDragPixels_ = k.fineDragPixels;
    knob->setTooltip(k.tooltip);
    knobs_[k.slot] = knob;
    main_->addControl(knob);
  }
  QRVBitmap* lit = Quarrytone::GetSharedBitmap(kImageVuLit);
  QRVBitmap* cover = Quarrytone::GetSharedBitmap(kImageVuCover);
  QRVBitmap* dark = Quarrytone::GetSharedBitmap(kImageVuDark);
  if (lit && cover && dark) {
    meter_ = new COldVuMeter2(kMeterRect, lit, cover, dark);
    meter_->setValue(0.0);
    meter_->setLamp(true);
    main_->addControl(meter_);
  }
  name_ = new QRVKickButton(kNameRect, kTagNameButton);
  name_->setTooltip("Click on the plug-in's name to open the about box");
  main_->addControl(name_);

  aboutContainer_ = engine_->createViewContainer(kPanelRect);
  if (aboutContainer_) {
    aboutContainer_->setBackgroundColor(QRVColor{0, 0, 0, 0});
    about_ = new CInfo(kPanelRect, Quarrytone::GetSharedBitmap(kImageAbout));
    aboutContainer_->addControl(about_);
  }
  ResetMeterHistory();
  return true;
}

void warmGlowEditor::Close() {
  if (aboutContainer_ && engine_ && !engine_->containsContainer(aboutContainer_)) delete aboutContainer_;
  aboutContainer_ = nullptr;
  main_ = nullptr;
  mode_ = nullptr;
  std::fill(std::begin(knobs_), std::end(knobs_), nullptr);
  meter_ = nullptr;
  name_ = nullptr;
  about_ = nullptr;
  ResetMeterHistory();
}

void warmGlowEditor::ControllerValueChanged(int index, double value) {
  if (IsKnobSlot(index)) {
    if (QRVAnimKnob* k = knobs_[index]) {
      k->setValue(value);
      Redraw(k);
    }
    return;
  }
  switch (index) {
    case kSlotProcess:
      if (mode_) {
        mode_->setValue(SwitchFromMode(value));
        Redraw(mode_);
      }
      if (meter_) {
        meter_->setLamp(StepOf(value, 2) != 0);
        Redraw(meter_);
      }
      break;
    case kSlotGainReduction:
      previousReading_ = latestReading_;
      previousTime_ = latestTime_;
      latestReading_ = value;
      latestTime_ = Now();
      jump_ = true;
      break;
    case kMessageMeterReset:
      if (meter_) {
        meter_->setValue(0.0);
        Redraw(meter_);
      }
      jump_ = true;
      previousReading_ = latestReading_ = 0.0;
      break;
    case kMessageBrowserOpening:
      setRect(0, 0, kBrowserEditorWidth, kBrowserEditorHeight);
      if (engine_) engine_->resizeEditor(static_cast<int>(kBrowserEditorWidth), static_cast<int>(kBrowserEditorHeight));
      break;
    case kMessageBrowserClosed:
      setRect(0, 0, kEditorWidth, kEditorHeight);
      if (engine_) engine_->resizeEditor(static_cast<int>(kEditorWidth), static_cast<int>(kEditorHeight));
      break;
    case kMessageShowAbout:
      if (engine_ && aboutContainer_ && !engine_->containsContainer(aboutContainer_))
        engine_->addContainer(aboutContainer_);
      break;
    case kMessageHideAbout:
      if (engine_ && aboutContainer_ && engine_->containsContainer(aboutContainer_))
        engine_->removeContainer(aboutContainer_);
      break;
    default:
      break;
  }
}

void warmGlowEditor::ControlValueChanged(int tag, double value) {
  if (!engine_) return;
  if (IsKnobSlot(tag)) {
    engine_->parameterChanged(tag, value);
    return;
  }
  switch (tag) {
    case kSlotProcess:
      engine_->parameterChanged(kSlotProcess, SwitchFromMode(value));
      break;
    case kTagNameButton:
      engine_->parameterChanged(kMessageShowAbout, 1.0);
      break;
    case kTagAbout:
      engine_->parameterChanged(kMessageHideAbout, 1.0);
      break;
    default:
      break;
  }
}

void warmGlowEditor::Idle() {
  if (!meter_) return;
  // The meter repaints what its needle covers, and nothing when the needle stays where it is.
  if (jump_) {
    meter_->setValue(previousReading_);
    jump_ = false;
    return;
  }
  // The needle lags one reading and moves from the previous to the latest over the time that
  // separated their arrival. Past that it holds the latest reading: a reading that is late (or the
  // last one) must not carry the needle on along the old slope.
  const double now = Now();
  double t = now > latestTime_ ? now - latestTime_ + previousTime_ : latestTime_;
  t = std::min(t, latestTime_);
  double value = previousReading_;
  if (latestTime_ > previousTime_)
    value =
        previousReading_ + (latestReading_ - previousReading_) * (t - previousTime_) / (latestTime_ - previousTime_);
  meter_->setValue(value);
}

QRVBaseEditor* CreateProductEditor(QRVMasterGraphicalEngine* engine) { return new warmGlowEditor(engine); }

}  // namespace qrv
