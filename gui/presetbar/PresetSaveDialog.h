// The save-file dialog the preset bar asks for a preset file's path, and the one the editor draws
// itself: an overlay over the panel area in the bar's style (the window keeps its size) with the
// title, a name field, the user folder and its group folders, Save and Cancel, and a confirmation
// before a file is replaced. Return saves, Escape cancels. Tests put a stand-in behind the
// interface. GUI thread only.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gui/engine/EditorPalette.h"
#include "gui/editor/QRVPresetBarHost.h"
#include "presets/PresetManager.h"
#include "presets/IndexTable.h"

namespace Quarrytone {

struct PresetSaveRequest {
  std::string title;                // "Save preset"
  std::filesystem::path folder;     // the user folder, where the choice starts
  std::vector<std::string> groups;  // its group folders, in listing order
  std::string defaultName;          // the proposed file name, extension included
  std::string typeDescription;      // "QRV Preset"
  std::string extension;            // "qrv", without the dot
};

// Why a save failed, in one line for the user: "The disk is full.", "\"ro.qrv\" is write-protected.", ...
std::string SaveFailureReason(const qrv::PresetSaveResult& result, const std::filesystem::path& file);

class PresetSaveDialog {
 public:
  // Called once when the dialog closes: the chosen path, or nothing when the user cancelled.
  using Done = std::function<void(std::optional<std::filesystem::path>)>;

  virtual ~PresetSaveDialog() = default;
  // False (and done never called) when the dialog is open already or cannot be shown.
  virtual bool open(const PresetSaveRequest& request, Done done) = 0;
  virtual bool isOpen() const = 0;
  // Closes an open dialog as Cancel would.
  virtual void cancel() = 0;
  // The product editor's size at zoom 1 changed.
  virtual void resize(double /*width*/, double /*height*/) {}
  // The window's idle tick.
  virtual void idle() {}
};

class SaveDialogView;
class SaveDialogNameEdit;

// The editor's own dialog, over the panel area of the window the host gives.
class PresetBarSaveDialog final : public PresetSaveDialog {
 public:
  static constexpr int kNameCharacters = 64;
  static constexpr std::size_t kExtensionBytes = 4;  // ".qrv", which the field's byte limit leaves room for
  static constexpr QRVColor kShade = palette::kDialogShade;
  static constexpr QRVColor kBox = palette::kDialogBox;
  static constexpr QRVColor kMessage = palette::kDialogMessage;
  static constexpr const char* kEmptyName = "Enter a name for the preset file.";
  static constexpr const char* kSlashInName = "A file name cannot contain \"/\".";
  static constexpr const char* kLeadingDot = "A file name cannot begin with \".\".";
  static constexpr const char* kNameTooLong = "The name is too long for the folder.";

  PresetBarSaveDialog(QRVPresetBarHost& host, double width, double height);
  ~PresetBarSaveDialog() override;

  bool open(const PresetSaveRequest& request, Done done) override;
  bool isOpen() const override { return open_; }
  void cancel() override;
  void resize(double width, double height) override;
  // Withdraws a question about replacing a file once the name or the folder no longer names it.
  void idle() override;

  // ---- what the user does; the view and the name field call these
  // Return in the name field or the Save (Replace) button. Replace only ever replaces the file the
  // question named.
  void accept();
  // Cancel, or Escape in the name field. While a replacement is asked about, Cancel only ends
  // the question.
  void cancelButton();
  void escape() { cancel(); }
  void selectFolder(int row);
  void nameEditEnded();

  // ---- state, for drawing and tests
  // What the dialog shows, from its opening, when the request has no (absolute) user folder; Save
  // then writes nothing.
  static std::string NoFolderMessage();
  // "" when the name is acceptable, else the line the dialog shows.
  static const char* RefusalFor(const std::string& name);
  const PresetSaveRequest& request() const { return request_; }
  const std::string& message() const { return message_; }
  bool confirming() const { return confirming_; }
  // The file a standing question asks about.
  const std::filesystem::path& questionedPath() const { return questioned_; }
  // Bytes the name field takes: the folder's longest file name less the extension.
  std::size_t nameByteLimit() const { return nameBytes_; }
  int selectedFolder() const { return folder_; }
  std::string name() const;
  std::filesystem::path chosenPath() const;
  QRVViewContainer* container() const { return container_; }
  SaveDialogView* view() const { return view_; }
  SaveDialogNameEdit* nameEdit() const { return edit_; }
  // The dialog's rectangles in window coordinates.
  QRVRect boxRect() const;
  QRVRect nameRect() const;
  QRVRect folderRowRect(int row) const;
  QRVRect saveButtonRect() const;
  QRVRect cancelButtonRect() const;
  int visibleFolderRows() const { return kFolderRows; }
  int folderScroll() const { return scroll_; }
  void scrollFolders(int rows);

 private:
  static constexpr int kFolderRows = 6;
  void build();
  void finish(std::optional<std::filesystem::path> result);
  void focusName();
  void withdrawQuestion();
  void limitNameToFolder();

  QRVPresetBarHost& host_;
  double width_, height_;
  PresetSaveRequest request_;
  Done done_;
  bool open_ = false;
  bool confirming_ = false;
  std::filesystem::path questioned_;
  std::size_t nameBytes_ = 0;
  int folder_ = 0;  // 0 the user folder, k the group folder k - 1
  int scroll_ = 0;
  std::string message_;
  QRVViewContainer* container_ = nullptr;
  // A closed dialog's container is deleted at the next open or with the dialog, never from inside
  // one of its own controls' events.
  QRVViewContainer* retired_ = nullptr;
  SaveDialogView* view_ = nullptr;
  SaveDialogNameEdit* edit_ = nullptr;
};

}  // namespace Quarrytone
