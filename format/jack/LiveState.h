// Where `warmglow live` keeps an instance's state, and how the file is read and written. The file holds
// exactly the plug-ins' state stream (InstancePresets::SaveStream), so a state moves between the
// standalone and the CLAP binding unchanged. Main thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qrv {
class InstancePresets;
}

namespace qrv::jack {

// The state kept for a client name when no --state is given: "live-<NAME>.state" in the settings folder,
// with every byte of NAME outside [A-Za-z0-9._-] written as %XX, so that any client name is one file name.
// Empty when there is no settings folder (platform::ConfigFolder).
std::filesystem::path DefaultStatePath(std::string_view clientName);

// Whether the state can be saved at path when the session ends: its folder (created when missing) takes
// a file of its name and a temporary file beside it. Checked at start by making and removing such a
// temporary file, so that a session never ends with its state lost. False, with why, when it cannot.
bool CheckStateWritable(const std::filesystem::path& path, std::string& why);

enum class StateRead {
  Loaded,   // the state is the instance's now
  Missing,  // no file: the instance keeps its defaults, and the file is created on exit
  Damaged,  // unreadable, too large or not a complete state of ours: nothing changed
};

// Reads path into presets, and the stream's flags (kStateFlag...) into flags; why, in words, when it is
// damaged. flags is left alone unless the state loaded.
StateRead ReadStateFile(const std::filesystem::path& path, InstancePresets& presets, uint32_t& flags,
                        std::string& why);

// Writes the state with flags (the standalone keeps only kStateFlagHighQuality) atomically (a short
// temporary name in the same folder, fsync, rename, fsync of the folder), creating the folder when
// missing. False, with why, when the old file (if any) is left as it was.
bool WriteStateFile(const std::filesystem::path& path, InstancePresets& presets, uint32_t flags, std::string& why);

}  // namespace qrv::jack
