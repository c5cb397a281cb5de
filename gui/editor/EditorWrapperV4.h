// The top layer of the host-independent editor window: the preset bar across the top 78 points, the
// window's zoom (requested and effective), and the host-editor services the bar relies on. The bar is
// made by a factory the host side provides; without one the bar area shows the bar's background
// colour. Host adapters (the AAX GUI object, the LV2 UI) derive from this layer. GUI thread only.
#pragma once

#include <memory>

#include "gui/engine/EditorPalette.h"
#include "gui/editor/EditorWrapperV2.h"
#include "gui/editor/QRVPresetBarHost.h"

namespace Quarrytone {

class QRVVSTGUIEditorWrapperV4_PresetBar : public QRVVSTGUIEditorWrapperV2, public QRVPresetBarHost {
 public:
  static constexpr QRVColor kBarBackground = palette::kBar;

  explicit QRVVSTGUIEditorWrapperV4_PresetBar(ProductEditorFactory factory, QRVPresetBarFactory barFactory = {});
  ~QRVVSTGUIEditorWrapperV4_PresetBar() override;

  bool open(tk::PlatformType type, unsigned long parent = 0) override;
  void close() override;
  void idle() override;
  // To the product editor, then to the preset bar.
  void valueChangedByController(int index, double value) override;
  // Tags of the parameter slots and the panel go to the product editor, the bar's own to the bar.
  void valueChanged(tk::Control* control) override;

  // Relative to the product editor: 78 points above its top is the window's top.
  void getMousePosition(QRVPoint& where) override;
  void resizeEditor(int width, int height) override;
  // The host binding hands over the instance's PresetManager and product controller; the bar made
  // at the next open receives them.
  void attachPresetBar(void* presetBar, void* presetManager, void* controller) override;

  // ---- QRVPresetBarHost
  QRVMasterGraphicalEngine& engine() override { return *this; }
  QRVViewContainer* createOverlayContainer(const QRVRect& rect) override;
  bool addOverlay(QRVViewContainer* container) override;
  bool removeOverlay(QRVViewContainer* container) override;
  bool containsOverlay(QRVViewContainer* container) override { return containsContainer(container); }
  QRVPoint windowMousePosition() override { return windowPointer(); }
  int mouseButtons() override;
  bool dispatchingKey() override { return frame_ && frame_->isDispatchingKey(); }
  bool dispatchingReturn() override;
  double pixelsPerPoint() override { return effectiveZoom_; }
  void setHintsFlag(int flag) override;
  int highQuality() override { return host_ ? host_->highQuality() : -1; }
  void setHighQuality(bool on) override {
    if (host_) host_->setHighQuality(on);
  }
  // Limits the factor, makes the scaled height a whole number of pixels (the effective zoom) and
  // resizes the window to the requested factor. Without a window or a product editor nothing happens.
  void setZoom(double factor) override;
  double zoom() override { return zoom_; }
  void refresh() override { invalidateAll(); }
  void notifyEditor(int index, double value) override;

  double requestedZoom() const { return zoom_; }
  double effectiveZoom() const { return effectiveZoom_; }
  QRVPresetBar* presetBar() const { return bar_.get(); }

 private:
  // Resizes the frame and the window; resizeEditor then tells the host.
  void fitWindow(int width, int height);
  QRVPresetBarFactory barFactory_;
  std::unique_ptr<QRVPresetBar> bar_;
  void* presetManager_ = nullptr;
  void* controller_ = nullptr;
  double zoom_ = 1.0;
  double effectiveZoom_ = 1.0;
  bool zooming_ = false;
};

}  // namespace Quarrytone
