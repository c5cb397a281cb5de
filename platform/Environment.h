// Folders taken from the environment. Any thread; read the environment on every call.
#pragma once

#include <filesystem>
#include <string>

namespace qrv::platform {

// The user's profile folder: "USERPROFILE" when set and not empty, else HOME; "" when neither is set.
std::string UserProfileFolder();

// Folder of the settings file: QRV_CONFIG_DIR when set (tests), else $XDG_CONFIG_HOME/Quarry-tone, else
// ~/.config/Quarry-tone. Not created here.
std::filesystem::path ConfigFolder();

// The absolute path of the binary this code is linked into: the plug-in module a host loaded, or the
// program. Found through dladdr, so each module finds itself, not its host. "" when it cannot be told.
std::filesystem::path OwnBinaryFile();

}  // namespace qrv::platform
