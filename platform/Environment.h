// Folders taken from the environment. Any thread; read the environment on every call. On Windows the
// variables are read as UTF-16 and returned as UTF-8: the home and the profile folder are USERPROFILE
// (else HOMEDRIVE and HOMEPATH), the settings folder QRV_CONFIG_DIR or %APPDATA%\Quarry-tone (used only
// by what keeps files of its own there; the settings themselves are in the registry).
#pragma once

#include <filesystem>
#include <string>

namespace qrv::platform {

// The user's home: HOME when set and not empty, else the home folder the password database gives the
// real user. "" when neither gives an absolute path: a relative home would put the user's files into
// whatever folder a program happens to be started from.
std::string HomeFolder();

// The user's profile folder: "USERPROFILE" when set and not empty, else HomeFolder(). "" when that is
// not an absolute path, or there is none.
std::string UserProfileFolder();

// Folder of the settings file: QRV_CONFIG_DIR when set (tests), else $XDG_CONFIG_HOME/Quarry-tone, else
// HomeFolder()/.config/Quarry-tone. Not created here. Empty when there is no absolute folder to use:
// callers then store nothing.
std::filesystem::path ConfigFolder();

// Why ConfigFolder() is empty, in words for the user ("" when it is not).
std::string ConfigFolderProblem();

// The absolute path of the binary this code is linked into: the plug-in module a host loaded, or the
// program. Found through dladdr (Windows: the module that holds this code), so each module finds itself,
// not its host. "" when it cannot be told.
std::filesystem::path OwnBinaryFile();

}  // namespace qrv::platform
