// "bar-controls.png": every preset-bar control in each of its looks, and the zoom list open,
// drawn by the real controls in a headless window at twice the layout size.
#pragma once

#include <string>

namespace qrv::presetbar {

bool WriteBarControlsSheet(const std::string& path, std::string* error);

}  // namespace qrv::presetbar
