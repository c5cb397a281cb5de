// Artwork sheets drawn by real controls: a headless window to lay them out in, and the sheets
// that `warmglow art` writes beside the embedded images. GUI thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "gui/engine/QRVBaseControl.h"

namespace Quarrytone {

// Writes one sheet to path; false with a message when it cannot.
using ArtworkSheetWriter = bool (*)(const std::string& path, std::string* error);
struct ArtworkSheet {
  const char* fileName;
  ArtworkSheetWriter write;
};

// WriteArtwork, then each sheet as directory/fileName.
bool WriteArtwork(const std::string& directory, const std::vector<ArtworkSheet>& sheets, std::string* error = nullptr);

// A window without a screen: width x height layout points drawn at scale, filled by one
// container with an opaque background. Controls report to nobody. Input goes through the
// window's own event dispatch, at layout points.
class ArtworkWindow {
 public:
  ArtworkWindow(double width, double height, double scale, QRVColor background);
  ~ArtworkWindow();
  ArtworkWindow(const ArtworkWindow&) = delete;
  ArtworkWindow& operator=(const ArtworkWindow&) = delete;

  QRVViewContainer* container() const;
  void mouseDown(QRVPoint where, int buttons);
  void mouseUp(QRVPoint where, int buttons);
  void mouseMove(QRVPoint where, int buttons = 0);
  bool writePng(const std::string& path, std::string* error);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace Quarrytone
