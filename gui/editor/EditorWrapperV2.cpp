#include "gui/editor/EditorWrapperV2.h"

#include <algorithm>

#include "gui/editor/IdleUpdateHandler.h"

namespace Quarrytone {
namespace {
std::vector<QRVVSTGUIEditorWrapperV2*> gOpenEditors;
}

QRVVSTGUIEditorWrapperV2::QRVVSTGUIEditorWrapperV2(ProductEditorFactory factory)
    : QRVVSTGUIEditorWrapperV1(factory),
      windowWidth_(editor_ ? static_cast<int>(editor_->width()) : kDefaultWidth),
      windowHeight_(editor_ ? static_cast<int>(editor_->height() + kBarHeight) : kDefaultHeight) {}

QRVVSTGUIEditorWrapperV2::~QRVVSTGUIEditorWrapperV2() { QRVVSTGUIEditorWrapperV2::close(); }

const std::vector<QRVVSTGUIEditorWrapperV2*>& QRVVSTGUIEditorWrapperV2::OpenEditors() { return gOpenEditors; }

void QRVVSTGUIEditorWrapperV2::IdleAll() {
  // An editor may open or close another from its idle: walk a copy, skip those gone meanwhile.
  const std::vector<QRVVSTGUIEditorWrapperV2*> editors = gOpenEditors;
  for (QRVVSTGUIEditorWrapperV2* e : editors)
    if (std::find(gOpenEditors.begin(), gOpenEditors.end(), e) != gOpenEditors.end()) e->idle();
}

bool QRVVSTGUIEditorWrapperV2::open(tk::PlatformType type, unsigned long parent) {
  if (!QRVVSTGUIEditorWrapperV1::open(type, parent)) return false;
  setWindowSize(frame_->deviceWidth(), frame_->deviceHeight());
  gOpenEditors.push_back(this);
  IdleUpdate_QRV_Handler& handler = IdleUpdate_QRV_Handler::Get();
  handler.setTick(&QRVVSTGUIEditorWrapperV2::IdleAll);
  handler.retain();
  registered_ = true;
  return true;
}

void QRVVSTGUIEditorWrapperV2::close() {
  std::erase(gOpenEditors, this);
  if (registered_) {
    registered_ = false;
    IdleUpdate_QRV_Handler::Get().release();
  }
  QRVVSTGUIEditorWrapperV1::close();
}

void QRVVSTGUIEditorWrapperV2::resizeEditor(int width, int height) {
  QRVVSTGUIEditorWrapperV1::resizeEditor(width, height);
  if (frame_ && !resizeDeferred_) setWindowSize(frame_->deviceWidth(), frame_->deviceHeight());
}

void QRVVSTGUIEditorWrapperV2::setWindowSize(int width, int height) {
  windowWidth_ = minWidth_ = maxWidth_ = width;
  windowHeight_ = minHeight_ = maxHeight_ = height;
}

}  // namespace Quarrytone
