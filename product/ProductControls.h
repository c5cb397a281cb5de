// The product's two custom-drawn controls: the gain-reduction needle meter and the about box.
// GUI thread only; both belong to the product editor's view tree.
#pragma once

#include "gui/engine/EditorPalette.h"
#include "gui/engine/PanelGeometry.h"
#include "gui/controls/QRVControls.h"
#include "platform/ProductFacts.h"
#include "presets/IndexTable.h"

namespace qrv {

// Embedded images of the product panel: the artwork names them.
using ProductImage = art::ImageId;
using enum art::ImageId;

constexpr QRVPoint TopLeft(const art::Box& b) { return QRVPoint{b.left, b.top}; }
constexpr QRVRect ToRect(const art::Box& b) { return QRVRect{b.left, b.top, b.right, b.bottom}; }

// A needle over a lit or dark face; the value (0..1) is the gain reduction as 1 - gain. Reports
// nothing: every mouse event falls through.
class COldVuMeter2 : public QRVCustomControl {
 public:
  static constexpr int kTag = qrv::kTagVuMeter;
  static constexpr QRVColor kNeedleLit = Quarrytone::palette::kNeedleLit;
  static constexpr QRVColor kNeedleDark = Quarrytone::palette::kNeedleDark;
  static constexpr QRVPoint kPivot{art::kPivotX, art::kPivotY};
  static constexpr double kInnerRadius = art::kNeedleInner;
  static constexpr double kOuterRadius = art::kNeedleOuter;
  static constexpr double kNeedleWidth = art::kNeedleWidth;

  // Null faces draw only the needle.
  COldVuMeter2(const QRVRect& rect, QRVBitmap* litFace, QRVBitmap* cover, QRVBitmap* darkFace);
  ~COldVuMeter2() override;
  void draw(QRVDrawContext* context) override;
  // Moves the needle and repaints only the rectangles it leaves and enters; a value that leaves it
  // where it is repaints nothing. The face is repainted by invalidPeer (a lamp change).
  void setValue(double value) override;
  // The part of the meter's rectangle that the needle covers at a value, in its container's coordinates.
  QRVRect needleRect(double value) const;

  void setLamp(bool lit) { lamp_ = lit ? 1 : 0; }
  bool lamp() const { return lamp_ != 0; }
  // Needle start and end for a value, in the product layout.
  static void NeedleLine(double value, QRVPoint& start, QRVPoint& end);

 private:
  QRVBitmap* lit_;
  QRVBitmap* cover_;
  QRVBitmap* dark_;
  QRVRect face_;
  int lamp_ = 1;
};

// The about page: version, edition, the maker's address as a link. A click outside the link
// toggles the value and reports it (the editor hides the box); a click on the link opens the address.
class CInfo : public QRVCustomControl {
 public:
  static constexpr int kTag = qrv::kTagAbout;
  static constexpr QRVRect kLinkRect{110, 130, 290, 154};
  static constexpr QRVColor kTextColor = Quarrytone::palette::kAboutText;
  static constexpr QRVColor kLinkColor = Quarrytone::palette::kAboutLink;
  static constexpr const char* kAddress = product::kWebAddressWww;
  static constexpr const char* kEdition = "Linux edition: AAX-style and LV2";

  CInfo(const QRVRect& rect, QRVBitmap* page);
  void draw(QRVDrawContext* context) override;
  int onMouseDown(QRVPoint where, int buttons) override;
  int onMouseMoved(QRVPoint where, int buttons) override;

  const char* versionText() const { return version_; }
  bool hover() const { return hover_; }

 private:
  static bool InLink(const QRVPoint& p);
  char version_[8] = {};
  bool hover_ = false;
};

}  // namespace qrv
