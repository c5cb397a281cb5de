#include "gui/engine/EditorPalette.h"
#include "gui/presetbar/PresetSaveDialog.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gui/engine/EditorLayout.h"
#include "gui/engine/QRVEngineServices.h"
#include "gui/controls/QRVControls.h"
#include "gui/presetbar/PresetBarControls.h"
#include "gui/presetbar/TextShortening.h"
#include "presets/PresetLibrary.h"
#include "platform/AtomicFile.h"
#include "presets/PresetBlob.h"

namespace Quarrytone {
namespace {

using namespace PresetBarColors;

constexpr double kBarHeight = layout::kBarHeight;
constexpr double kBoxWidth = 320, kBoxHeight = 236;
constexpr double kRowHeight = 18;
constexpr double kButtonWidth = 64, kButtonHeight = 22;

QRVFont* Font(SharedFont which) { return GetSharedFont(which); }

// Rectangles of the dialog in overlay coordinates (the panel area's top left is 0, 0).
struct Layout {
  QRVRect box, title, name, caption, list, message, save, cancel;
  Layout(double width, double height) {
    const double w = std::min(kBoxWidth, std::max(0.0, width - 8)), h = std::min(kBoxHeight, std::max(0.0, height - 8));
    const double l = std::floor((width - w) / 2), t = std::floor((height - h) / 2);
    box = QRVRect{l, t, l + w, t + h};
    title = QRVRect{l + 12, t + 6, l + w - 12, t + 26};
    name = QRVRect{l + 12, t + 32, l + w - 12, t + 54};
    caption = QRVRect{l + 12, t + 60, l + w - 12, t + 74};
    list = QRVRect{l + 12, t + 76, l + w - 12, t + 76 + 6 * kRowHeight};
    message = QRVRect{l + 12, list.bottom + 2, l + w - 12, list.bottom + 20};
    cancel = QRVRect{box.right - 12 - kButtonWidth, box.bottom - 8 - kButtonHeight, box.right - 12, box.bottom - 8};
    save = QRVRect{cancel.left - 8 - kButtonWidth, cancel.top, cancel.left - 8, cancel.bottom};
  }
};

QRVRect Shifted(QRVRect r, double dy) { return QRVRect{r.left, r.top + dy, r.right, r.bottom + dy}; }


}  // namespace

// The name field: Return commits (the dialog saves), Escape cancels; an edit that ends because the
// user clicked elsewhere in the dialog keeps its text and saves nothing.
class SaveDialogNameEdit final : public QRVTextEdit {
 public:
  SaveDialogNameEdit(const QRVRect& rect, PresetBarSaveDialog* dialog)
      : QRVTextEdit(rect, qrv::kTagSaveDialogName), dialog_(dialog) {}
  void endEdit() override {
    QRVTextEdit::endEdit();
    if (dialog_) dialog_->nameEditEnded();
  }
  void editCancelled() override {
    if (dialog_) dialog_->escape();
  }
  PresetBarSaveDialog* dialog_;
};

// Everything of the dialog but the name field: the shade over the panel, the box, the folder list,
// the message line and the two buttons, with their clicks.
class SaveDialogView final : public QRVCustomControl {
 public:
  SaveDialogView(const QRVRect& rect, PresetBarSaveDialog* dialog) : QRVCustomControl(rect, -1, nullptr), dialog_(dialog) {
    setReportMouseDown(false);
  }

  void draw(QRVDrawContext* c) override {
    if (!c || !dialog_) return;
    const QRVRect all = getViewSize();
    const Layout L(all.getWidth(), all.getHeight());
    c->setLineWidth(1);
    c->setFillColor(PresetBarSaveDialog::kBox);
    c->setFrameColor(kSeparator);
    c->drawRect(L.box, kQRVDrawFilledAndStroked);

    c->setFont(Font(SharedFont::Arial14));
    c->setFontColor(kLabelPressed);
    c->drawString(dialog_->request().title.c_str(), L.title, kQRVAlignLeft);

    c->setFont(Font(SharedFont::Arial11));
    c->setFontColor(kLabelNormal);
    c->drawString("Folder", L.caption, kQRVAlignLeft);
    c->setFillColor(palette::kBar);
    c->drawRect(L.list, kQRVDrawFilledAndStroked);
    const auto& groups = dialog_->request().groups;
    const int rows = static_cast<int>(groups.size()) + 1;
    for (int i = 0; i < 6 && dialog_->folderScroll() + i < rows; ++i) {
      const int row = dialog_->folderScroll() + i;
      const QRVRect r{L.list.left + 1, L.list.top + i * kRowHeight, L.list.right - 1, L.list.top + (i + 1) * kRowHeight};
      const bool selected = row == dialog_->selectedFolder();
      if (selected) {
        c->setFillColor(kHoverBackground);
        c->drawRect(r, kQRVDrawFilled);
      }
      std::string text = row == 0 ? dialog_->request().folder.filename().string() : "    " + groups[static_cast<std::size_t>(row - 1)];
      if (text.empty()) text = dialog_->request().folder.string();
      if (text.empty()) text = "(none)";
      const std::string shown = qrv::presetbar::ShortenText(text, r.getWidth() - 8);
      c->setFontColor(selected ? kLabelPressed : kLabelNormal);
      c->drawString(shown.c_str(), QRVRect{r.left + 4, r.top, r.right - 4, r.bottom}, kQRVAlignLeft);
    }

    if (!dialog_->message().empty()) {
      c->setFontColor(PresetBarSaveDialog::kMessage);
      c->drawString(dialog_->message().c_str(), L.message, kQRVAlignLeft);
    }
    drawButton(c, L.save, dialog_->confirming() ? "Replace" : "Save", pressed_ == 1);
    drawButton(c, L.cancel, "Cancel", pressed_ == 2);
  }

  int onMouseDown(QRVPoint where, int buttons) override {
    if (!dialog_ || !(buttons & kQRVLButton)) return kQRVMouseHandled;
    const QRVRect all = getViewSize();
    const Layout L(all.getWidth(), all.getHeight());
    if (L.save.contains(where)) {
      dialog_->accept();
    } else if (L.cancel.contains(where)) {
      dialog_->cancelButton();
    } else if (L.list.contains(where)) {
      dialog_->selectFolder(dialog_->folderScroll() + static_cast<int>((where.y - L.list.top) / kRowHeight));
    } else {
      // Anywhere else in the dialog (or on the shade) the name keeps the keyboard.
      dialog_->selectFolder(dialog_->selectedFolder());
    }
    invalidPeer();
    return kQRVMouseHandled;
  }
  int onMouseUp(QRVPoint, int) override { return kQRVMouseHandled; }
  int onMouseMoved(QRVPoint, int) override { return kQRVMouseHandled; }
  bool onMouseWheel(QRVPoint, float distance, int) override {
    if (dialog_) dialog_->scrollFolders(distance > 0 ? -1 : 1);
    invalidPeer();
    return true;
  }

  PresetBarSaveDialog* dialog_;
  int pressed_ = 0;

 private:
  static void drawButton(QRVDrawContext* c, const QRVRect& r, const char* label, bool pressed) {
    c->setFillColor(pressed ? kLabelHover : kHoverBackground);
    c->setFrameColor(kSeparator);
    c->drawRect(r, kQRVDrawFilledAndStroked);
    c->setFont(Font(SharedFont::Arial14));
    c->setFontColor(kLabelPressed);
    c->drawString(label, r, kQRVAlignCenter);
  }
};

std::string SaveFailureReason(const qrv::PresetSaveResult& result, const std::filesystem::path& file) {
  using qrv::PresetSaveError;
  const std::string name = "\"" + file.filename().string() + "\"";
  switch (result.error) {
    case PresetSaveError::None: return {};
    case PresetSaveError::NameTooLong: return PresetBarSaveDialog::kNameTooLong;
    case PresetSaveError::FolderMissing: return "The folder does not exist.";
    case PresetSaveError::NoUserFolder: return std::string(qrv::kNoUserFolder) + ".";
    case PresetSaveError::FolderNotWritable: return "The folder is not writable.";
    case PresetSaveError::DiskFull: return "The disk is full.";
    case PresetSaveError::WriteProtected: return name + " is write-protected.";
    case PresetSaveError::NotAFile: return name + " is not a preset file.";
    case PresetSaveError::Failed: break;
  }
  return result.systemError != 0 ? std::string(std::strerror(result.systemError)) + "." : "The file could not be written.";
}

PresetBarSaveDialog::PresetBarSaveDialog(QRVPresetBarHost& host, double width, double height)
    : host_(host), width_(width), height_(height) {}

PresetBarSaveDialog::~PresetBarSaveDialog() {
  if (view_) view_->dialog_ = nullptr;
  if (edit_) edit_->dialog_ = nullptr;
  for (QRVViewContainer* c : {container_, retired_}) {
    if (!c) continue;
    if (host_.containsOverlay(c)) host_.removeOverlay(c);
    delete c;
  }
}

std::string PresetBarSaveDialog::NoFolderMessage() {
  const std::string why = qrv::UserPresetFolderProblem();
  return std::string(qrv::kNoUserFolder) + (why.empty() ? "." : ": " + why + ".");
}

const char* PresetBarSaveDialog::RefusalFor(const std::string& name) {
  if (name.find_first_not_of(' ') == std::string::npos) return kEmptyName;
  if (name.find('/') != std::string::npos) return kSlashInName;
  if (name.front() == '.') return kLeadingDot;
  return "";
}

bool PresetBarSaveDialog::open(const PresetSaveRequest& request, Done done) {
  if (open_) return false;
  request_ = request;
  done_ = std::move(done);
  confirming_ = false;
  folder_ = 0;
  scroll_ = 0;
  message_.clear();
  if (!request_.folder.is_absolute()) message_ = NoFolderMessage();
  build();
  if (!container_ || !host_.addOverlay(container_)) return false;
  open_ = true;
  focusName();
  return true;
}

void PresetBarSaveDialog::build() {
  if (retired_) {
    if (host_.containsOverlay(retired_)) host_.removeOverlay(retired_);
    delete retired_;
    retired_ = nullptr;
  }
  container_ = host_.createOverlayContainer(QRVRect{0, kBarHeight, width_, height_ + kBarHeight});
  if (!container_) return;
  container_->setBackgroundColor(kShade);
  view_ = new SaveDialogView(QRVRect{0, 0, width_, height_}, this);
  container_->addControl(view_);
  const Layout L(width_, height_);
  edit_ = new SaveDialogNameEdit(L.name, this);
  edit_->setStyle(64);
  edit_->setMaxLength(kNameCharacters);
  limitNameToFolder();
  edit_->setFont(Font(SharedFont::Arial14));
  edit_->setFontColor(kNameText);
  edit_->setBackColor(kNameBackground);
  edit_->setHorizontalAlign(kQRVAlignLeft);
  edit_->setPlaceholder("file name");
  edit_->setText(request_.defaultName.c_str());
  container_->addControl(edit_);
}

void PresetBarSaveDialog::focusName() {
  if (edit_ && edit_->getPeer()) static_cast<QRVEngineTextEdit*>(edit_->getPeer())->takeFocus();
}

std::string PresetBarSaveDialog::name() const {
  if (!edit_) return request_.defaultName;
  if (QRVEngineView* peer = edit_->getPeer())
    if (const char* t = static_cast<QRVEngineTextEdit*>(peer)->getText()) return t;
  return edit_->getText();
}

std::filesystem::path PresetBarSaveDialog::chosenPath() const {
  std::filesystem::path folder = request_.folder;
  if (folder_ > 0 && folder_ <= static_cast<int>(request_.groups.size()))
    folder /= request_.groups[static_cast<std::size_t>(folder_ - 1)];
  return folder / qrv::ApplyPresetExtension(name());
}

void PresetBarSaveDialog::nameEditEnded() {
  if (!open_) return;
  // Only Return saves. Tab leaves the field, which the dialog's only field takes back; a click
  // elsewhere in the dialog, or the window losing the keyboard, ends the edit and keeps the text.
  if (host_.dispatchingReturn()) {
    accept();
  } else if (host_.dispatchingKey()) {
    focusName();
  }
}

void PresetBarSaveDialog::accept() {
  if (!open_) return;
  auto say = [this](std::string line) {
    message_ = std::move(line);
    confirming_ = false;
    questioned_.clear();
    if (view_) view_->invalidPeer();
    focusName();
  };
  // Without a user folder there is nowhere to save: a relative path would land in the host's working folder.
  if (!request_.folder.is_absolute()) return say(NoFolderMessage());
  const std::string n = name();
  if (const char* refusal = RefusalFor(n); *refusal) return say(refusal);
  const std::filesystem::path path = chosenPath();
  if (path.filename().native().size() > qrv::platform::MaxFileNameBytes(path.parent_path())) return say(kNameTooLong);
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(path, ec)) || std::filesystem::exists(path, ec)) {
    if (qrv::IsWriteProtected(path))
      return say(SaveFailureReason({qrv::PresetSaveError::WriteProtected, 0}, path));
    if (!std::filesystem::is_regular_file(path, ec))
      return say(SaveFailureReason({qrv::PresetSaveError::NotAFile, 0}, path));
    // The answer counts only for the file the question named.
    if (!confirming_ || path != questioned_) {
      say("\"" + path.filename().string() + "\" exists. Replace it?");
      confirming_ = true;
      questioned_ = path;
      return;
    }
  }
  finish(path);
}

void PresetBarSaveDialog::withdrawQuestion() {
  if (!confirming_) return;
  confirming_ = false;
  questioned_.clear();
  message_.clear();
  if (view_) view_->invalidPeer();
}

void PresetBarSaveDialog::idle() {
  if (open_ && confirming_ && chosenPath() != questioned_) withdrawQuestion();
}

void PresetBarSaveDialog::limitNameToFolder() {
  std::filesystem::path folder = request_.folder;
  if (folder_ > 0 && folder_ <= static_cast<int>(request_.groups.size()))
    folder /= request_.groups[static_cast<std::size_t>(folder_ - 1)];
  const std::size_t most = qrv::platform::MaxFileNameBytes(folder);
  nameBytes_ = most > kExtensionBytes ? most - kExtensionBytes : 1;
  if (edit_) edit_->setMaxBytes(static_cast<int>(std::min<std::size_t>(nameBytes_, 1 << 20)));
}

void PresetBarSaveDialog::cancelButton() {
  if (confirming_) {
    withdrawQuestion();
    focusName();
    return;
  }
  cancel();
}

void PresetBarSaveDialog::cancel() {
  if (open_) finish(std::nullopt);
}

void PresetBarSaveDialog::finish(std::optional<std::filesystem::path> result) {
  open_ = false;
  confirming_ = false;
  questioned_.clear();
  if (container_) {
    host_.removeOverlay(container_);
    retired_ = container_;
    container_ = nullptr;
  }
  // The retired controls no longer reach the dialog.
  if (view_) view_->dialog_ = nullptr;
  if (edit_) edit_->dialog_ = nullptr;
  view_ = nullptr;
  edit_ = nullptr;
  host_.refresh();
  Done done = std::move(done_);
  done_ = nullptr;
  if (done) done(std::move(result));
}

void PresetBarSaveDialog::selectFolder(int row) {
  const int rows = static_cast<int>(request_.groups.size()) + 1;
  if (row >= 0 && row < rows && row != folder_) {
    folder_ = row;
    // A question about another folder's file no longer stands.
    withdrawQuestion();
    limitNameToFolder();
  }
  focusName();
}

void PresetBarSaveDialog::scrollFolders(int rows) {
  const int total = static_cast<int>(request_.groups.size()) + 1;
  scroll_ = std::clamp(scroll_ + rows, 0, std::max(0, total - kFolderRows));
}

void PresetBarSaveDialog::resize(double width, double height) {
  width_ = width;
  height_ = height;
  if (!container_) return;
  container_->setViewSize(QRVRect{0, kBarHeight, width, height + kBarHeight});
  if (view_) view_->setViewSize(QRVRect{0, 0, width, height});
  if (edit_) edit_->setViewSize(Layout(width, height).name);
}

QRVRect PresetBarSaveDialog::boxRect() const { return Shifted(Layout(width_, height_).box, kBarHeight); }
QRVRect PresetBarSaveDialog::nameRect() const { return Shifted(Layout(width_, height_).name, kBarHeight); }
QRVRect PresetBarSaveDialog::saveButtonRect() const { return Shifted(Layout(width_, height_).save, kBarHeight); }
QRVRect PresetBarSaveDialog::cancelButtonRect() const { return Shifted(Layout(width_, height_).cancel, kBarHeight); }
QRVRect PresetBarSaveDialog::folderRowRect(int row) const {
  const QRVRect list = Layout(width_, height_).list;
  const double top = list.top + (row - scroll_) * kRowHeight;
  return Shifted(QRVRect{list.left, top, list.right, top + kRowHeight}, kBarHeight);
}

}  // namespace Quarrytone
