// A headless editor window for GUI tests: a QRVFrame with a product-sized container 78 points
// below its top (as the editor sits under the preset bar), a listener that records what the
// controls report, and helpers that send input through the frame's own event dispatch at
// device pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

#include "gui/backend/ControlPeers.h"
#include "gui/backend/QRVFrame.h"
#include "gui/backend/Resources.h"
#include "gui/backend/ViewContainerWrapper.h"
#include "gui/controls/QRVControls.h"
#include "gui/engine/EditorLayout.h"
#include "gui/toolkit/HeadlessFrame.h"

namespace qrv::test {

// GLib's slice allocator hides freed and leaked GObjects (pango layouts, font maps) from leak
// checks; plain malloc lets a forgotten unref in the toolkit show up. Set before GLib starts.
inline const bool kGSliceUsesMalloc = setenv("G_SLICE", "always-malloc", 0) == 0;

struct RecordingListener : tk::IControlListener {
  std::vector<std::pair<int, double>> changes;
  int begins = 0, ends = 0;
  void valueChanged(tk::Control* c) override { changes.emplace_back(c->getTag(), c->getValue()); }
  void controlBeginEdit(tk::Control*) override { ++begins; }
  void controlEndEdit(tk::Control*) override { ++ends; }
};

struct RecordingEngine : QRVMasterGraphicalEngine {
  std::vector<std::pair<int, int>> mouseDowns;
  void setBackground(QRVBitmap*) override {}
  void setBackgroundById(int) override {}
  void addContainer(QRVViewContainer*) override {}
  void removeContainer(QRVViewContainer*) override {}
  QRVViewContainer* createViewContainer(const QRVRect&) override { return nullptr; }
  bool containsContainer(QRVViewContainer*) override { return false; }
  QRVBitmap* createBitmap(int, bool) override { return nullptr; }
  void getMousePosition(QRVPoint&) override {}
  void getMouseButtons(int& b) override { b = 0; }
  void setKnobMode(int mode) override { QRVSetKnobMode(mode); }
  void parameterChanged(int, double) override {}
  void resizeEditor(int, int) override {}
  void setResizeDeferred(bool) override {}
  void invalidateAll() override {}
  void* getUserData() override { return nullptr; }
  void* getEditor() override { return nullptr; }
  bool setFramePosition(double, double) override { return false; }
  bool getFramePosition(QRVPoint&) override { return false; }
  void controlMouseDown(int tag, int buttons) override { mouseDowns.emplace_back(tag, buttons); }
  void attachPresetBar(void*, void*, void*) override {}
  void reserved21() override {}
};

class GuiHarness {
 public:
  static constexpr double kBarHeight = Quarrytone::layout::kBarHeight;

  explicit GuiHarness(double width = Quarrytone::layout::kPanelWidth, double height = Quarrytone::layout::kPanelHeight) {
    Quarrytone::InitializeResources();
    frame = new Quarrytone::QRVFrame(tk::Rect{0, 0, width, height + kBarHeight});
    frame->open(tk::PlatformType::Headless);
    headless = tk::Headless(frame);
    container = new Quarrytone::CQRVViewContainerWrapper(&engine, &listener, QRVRect{0, kBarHeight, width,
                                                                                      height + kBarHeight});
    container->attachTo(frame);
  }
  ~GuiHarness() {
    frame->removeAll();
    frame->forget();
  }
  GuiHarness(const GuiHarness&) = delete;
  GuiHarness& operator=(const GuiHarness&) = delete;

  // Device pixel of a point in the product container.
  tk::Point device(QRVPoint p) const { return tk::Point{p.x * frame->getZoom(), (p.y + kBarHeight) * frame->getZoom()}; }

  tk::MouseResult press(QRVPoint p, int buttons = kQRVLButton) { return headless->mouseDown(device(p), buttons); }
  tk::MouseResult move(QRVPoint p, int buttons = kQRVLButton) { return headless->mouseMove(device(p), buttons); }
  tk::MouseResult release(QRVPoint p, int buttons = kQRVLButton) { return headless->mouseUp(device(p), buttons); }
  bool wheel(QRVPoint p, float distance, int buttons = 0) { return headless->wheel(device(p), distance, buttons); }
  void click(QRVPoint p, int buttons = kQRVLButton) {
    press(p, buttons);
    release(p, buttons);
  }
  void key(tk::VirtualKey k, std::uint32_t modifiers = 0) {
    tk::KeyEvent e;
    e.key = k;
    e.modifiers = modifiers;
    headless->keyDown(e);
  }
  // Premultiplied pixel at a point of the product container (after rendering).
  tk::Color pixel(QRVPoint p) {
    headless->render();
    tk::Point d = device(p);
    return headless->pixel(static_cast<int>(d.x), static_cast<int>(d.y));
  }

  RecordingEngine engine;
  RecordingListener listener;
  Quarrytone::QRVFrame* frame;
  tk::HeadlessPlatformFrame* headless;
  Quarrytone::CQRVViewContainerWrapper* container;
};

}  // namespace qrv::test
