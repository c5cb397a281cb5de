// The colours of everything the editor draws besides the artwork: the preset bar, its overlays over
// the panel, the browser, the save dialog and the option menus. Each value is written once; a colour
// that means the same thing in two places is one entry.
#pragma once

#include "gui/engine/QRVGraphics.h"

namespace Quarrytone::palette {

// The bar, and whatever of a host's window lies outside the editor.
inline constexpr QRVColor kBar{30, 30, 30, 255};
// Overlays over the panel area.
inline constexpr QRVColor kBrowserOverlay{30, 30, 30, 200};
inline constexpr QRVColor kConfigOverlay{25, 25, 25, 230};
inline constexpr QRVColor kCornerOverlay{25, 25, 25, 1};

// Texts and icons of the bar's buttons.
inline constexpr QRVColor kLabelNormal{184, 184, 184, 255};
inline constexpr QRVColor kLabelHover{219, 219, 219, 255};
inline constexpr QRVColor kLabelPressed{250, 250, 250, 255};
inline constexpr QRVColor kHoverBackground{101, 101, 107, 100};
inline constexpr QRVColor kSeparator{184, 184, 184, 200};
inline constexpr QRVColor kArrowOutline{127, 127, 124, 200};
inline constexpr QRVColor kArrowOutlinePressed{200, 200, 200, 200};
inline constexpr QRVColor kArrowFillHover{187, 187, 184, 255};
// Assign mode on, and the A/B copy arrow under the pointer: the bar's one warm accent.
inline constexpr QRVColor kAccent{205, 138, 138, 255};
inline constexpr QRVColor kCopyArrowFillHover = kAccent;
inline constexpr QRVColor kAssignOn = kAccent;
// The preset name field.
inline constexpr QRVColor kNameBackground{223, 223, 223, 255};
inline constexpr QRVColor kNameText{0, 0, 0, 255};
inline constexpr QRVColor kNameTextModified{100, 60, 60, 255};
// Zoom list halo and the drag corner.
inline constexpr QRVColor kZoomHalo{208, 224, 238, 30};
inline constexpr QRVColor kCornerTriangle{0, 0, 0, 50};
inline constexpr QRVColor kCornerGrip{255, 255, 255, 100};

// The preset browser.
inline constexpr QRVColor kListBackground{18, 18, 20, 140};
inline constexpr QRVColor kFactoryText{190, 190, 190, 255};
inline constexpr QRVColor kUserText{224, 196, 128, 255};
inline constexpr QRVColor kSelectedCell{84, 84, 92, 255};
inline constexpr QRVColor kSelectedText = kLabelPressed;
inline constexpr QRVColor kHoverOutline = kSeparator;
inline constexpr QRVColor kScrollTrack{50, 50, 54, 255};
inline constexpr QRVColor kScrollThumb{140, 140, 146, 255};
inline constexpr QRVColor kSegment{44, 44, 47, 255};
inline constexpr QRVColor kSegmentSelected{101, 101, 107, 255};
inline constexpr QRVColor kSegmentHover{70, 70, 76, 255};
inline constexpr QRVColor kLinkText{54, 151, 206, 255};
// "List cut: ..." on the information line, when a folder holds more presets than a list shows.
inline constexpr QRVColor kListCutText = kAccent;

// The option menus' lists.
inline constexpr QRVColor kMenuFrame{208, 224, 238, 200};
inline constexpr QRVColor kMenuBackground{22, 23, 26, 200};
inline constexpr QRVColor kMenuText = kLabelNormal;
inline constexpr QRVColor kMenuTitleText{210, 210, 210, 255};
inline constexpr QRVColor kMenuSelected{50, 88, 141, 255};
inline constexpr QRVColor kMenuSelectedText{245, 246, 249, 255};
// The option menu button's own face and its outline (under the pointer: brighter).
inline constexpr QRVColor kMenuFace{94, 96, 97, 255};
inline constexpr QRVColor kMenuFaceLine{210, 210, 210, 255};
inline constexpr QRVColor kMenuFaceLineHover{240, 240, 240, 255};

// The save dialog: its shade over the panel, its box and the text that says what is wrong with a name.
inline constexpr QRVColor kDialogShade{25, 25, 25, 200};
inline constexpr QRVColor kDialogBox{44, 44, 47, 255};
inline constexpr QRVColor kDialogMessage{236, 128, 112, 255};

// The meter's needle, over the lit face and over the dark one.
inline constexpr QRVColor kNeedleLit{170, 165, 160, 255};
inline constexpr QRVColor kNeedleDark{140, 135, 130, 255};

// The about box's text and its link; the link is the browser's.
inline constexpr QRVColor kAboutText{200, 200, 200, 255};
inline constexpr QRVColor kAboutLink = kLinkText;

}  // namespace Quarrytone::palette
