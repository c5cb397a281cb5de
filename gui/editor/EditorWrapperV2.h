// The second layer of the editor window: the window's size (the product editor plus the 78-point bar)
// with its minimum and maximum, the list of open editors and the registration with the shared idle
// timer, whose ticks run the idle routine of every open editor. GUI thread only.
#pragma once

#include <vector>

#include "gui/editor/EditorWrapperV1.h"

namespace Quarrytone {

class QRVVSTGUIEditorWrapperV2 : public QRVVSTGUIEditorWrapperV1 {
 public:
  // The window's size without a product editor.
  static constexpr int kDefaultWidth = 500;
  static constexpr int kDefaultHeight = 200;

  explicit QRVVSTGUIEditorWrapperV2(ProductEditorFactory factory);
  ~QRVVSTGUIEditorWrapperV2() override;

  bool open(tk::PlatformType type, unsigned long parent = 0) override;
  void close() override;
  void resizeEditor(int width, int height) override;

  // The window's size in device pixels; also its minimum and maximum size.
  int windowWidth() const { return windowWidth_; }
  int windowHeight() const { return windowHeight_; }
  int minWidth() const { return minWidth_; }
  int minHeight() const { return minHeight_; }
  int maxWidth() const { return maxWidth_; }
  int maxHeight() const { return maxHeight_; }

  // The editors now open in this process, in the order they opened.
  static const std::vector<QRVVSTGUIEditorWrapperV2*>& OpenEditors();

 protected:
  // The window takes this device size; it becomes the minimum and maximum size too.
  void setWindowSize(int width, int height);

 private:
  static void IdleAll();
  int windowWidth_;
  int windowHeight_;
  int minWidth_ = 0, minHeight_ = 0, maxWidth_ = 0, maxHeight_ = 0;
  bool registered_ = false;
};

}  // namespace Quarrytone
