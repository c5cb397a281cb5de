// The embedded images' ids and where the product panel shows them: the one table the panel, the
// artwork's painters and the art preview read. Points are layout points at zoom 1; every image holds
// kPixelsPerPoint pixels per point.
#pragma once

namespace art {

enum ImageId : int {
  kImagePanel = 11128,
  kImageModeSwitch = 12129,
  kImageAttackKnob = 12130,
  kImageValveKnob = 12139,
  kImageVuLit = 12151,
  kImageVuCover = 12152,
  kImageVuDark = 12153,
  kImageCompressionKnob = 12171,
  kImageTimeKnob = 12173,
  kImageOutputKnob = 12177,
  kImageRatioKnob = 12181,
  kImageAbout = 12200,
  kImageMakerLogo = 90001,
};

inline constexpr int kPixelsPerPoint = 2;

struct Box {
  double left, top, right, bottom;
  constexpr double width() const { return right - left; }
  constexpr double height() const { return bottom - top; }
  constexpr double centreX() const { return (left + right) / 2; }
  constexpr double centreY() const { return (top + bottom) / 2; }
};

// One frame of each film strip, in points.
inline constexpr double kBigKnobSize = 114;
inline constexpr double kRatioKnobSize = 70;
inline constexpr double kSmallKnobSize = 31;
inline constexpr double kSwitchWidth = 106, kSwitchHeight = 78;

constexpr Box At(double left, double top, double width, double height) {
  return Box{left, top, left + width, top + height};
}

// Where each control's frame lies on the panel.
inline constexpr Box kTimeKnob = At(28, 143, kBigKnobSize, kBigKnobSize);
inline constexpr Box kCompressionKnob = At(143, 143, kBigKnobSize, kBigKnobSize);
inline constexpr Box kOutputKnob = At(258, 143, kBigKnobSize, kBigKnobSize);
inline constexpr Box kRatioKnob = At(50, 50, kRatioKnobSize, kRatioKnobSize);
inline constexpr Box kAttackKnob = At(31, 123, kSmallKnobSize, kSmallKnobSize);
inline constexpr Box kValveKnob = At(267, 92, kSmallKnobSize, kSmallKnobSize);
inline constexpr Box kModeSwitch = At(262, 46, kSwitchWidth, kSwitchHeight);
// The meter: its face (the needle is clipped to it), the needle's pivot below the face, and the
// needle's reach from the pivot.
inline constexpr Box kMeterFace{150, 66, 250, 109};
inline constexpr double kPivotX = 200, kPivotY = 155;
inline constexpr double kNeedleInner = 3, kNeedleOuter = 86, kNeedleWidth = 2;
// The cover over the face, and the product name that opens the about box.
inline constexpr double kCoverWidth = 113, kCoverHeight = 46;
inline constexpr Box kNameButton{85, 5, 313, 45};

}  // namespace art
