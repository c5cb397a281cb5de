// The control values a render starts from: a factory preset, then NAME=VALUE changes, all derived
// from the parameter set and the factory table.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dsp/ParameterSet.h"

namespace qrv {
class PresetManager;
}

namespace qrv::cli {

struct Settings {
  // Normalised values of slots 0..11 (only the control slots reach the engine).
  std::array<double, kPresetValueCount> values{};
  int preset = 0;
  std::string presetName;
  // The NAME=VALUE changes applied on top of the preset, as given.
  std::vector<std::string> changes;
};

// Factory preset `index` (0..33).
Settings PresetSettings(int index);

// A factory preset by number ("23") or by name, case-insensitively ("vox"). Throws CliError for
// anything else, and for a name that several entries share (the message lists their numbers).
int FindPreset(std::string_view text);

// What --preset names, in this order: a ".qrv" file (FindPresetFile) or an existing file named by a path
// with a '/', a factory preset by number or name, or a user preset by name (FindUserPreset). Throws
// CliError with the reason when nothing matches, a name matches several presets or the file does not load.
Settings ResolvePreset(std::string_view text);

// A user preset by name, with or without ".qrv": its listed name ("Warm", "Sub/Warm") or whole file name,
// in any case, looked for in the user folder and then in its groups. Empty when none has the name; throws
// CliError, listing their files, when several groups (or several spellings in one folder) hold it.
std::optional<std::filesystem::path> FindUserPreset(std::string_view name);

// The preset file a FILE.qrv or NAME argument names: the path as given when anything is there (so that
// reading it reports what it is), else the user preset of that name. Throws CliError when there is none.
std::string FindPresetFile(std::string_view text);

// The settings a ".qrv" file holds: its stored slots on top of "Default"; the name is the file's.
Settings PresetFileSettings(const std::string& path);

// The control slot named `name` (case-insensitive, e.g. "compression"); throws CliError for an unknown
// name or a slot that is not a control ("Gain Reduction").
unsigned FindControl(std::string_view name);

// A normalised value: a finite number in 0..1 with nothing after it. Throws CliError otherwise.
double ParseNormalised(std::string_view text, std::string_view what);

// The control slot and normalised value of "NAME=VALUE". Throws CliError for a malformed assignment.
std::pair<unsigned, double> ParseAssignment(std::string_view assignment);

// The settings on an instance's preset bar as it shows them after a load: a factory preset by its number
// and name, a preset file by its name (unmarked unless --set changed it), each value as an edit.
void LoadIntoManager(PresetManager& manager, const Settings& settings);

// Applies "NAME=VALUE" to settings. Throws CliError for a malformed assignment.
void ApplyAssignment(Settings& settings, std::string_view assignment);

// The display text of slot `index` at v, as the editor and host show it.
std::string DisplayText(unsigned index, double v);

// "Valve, 4:1, x1, Time 5.00, Compression 5.00, Output 4.50, ValveLevel 0": the settings as display
// texts, for titles and reports.
std::string DescribeValues(const Settings& settings);

// The help block that lists every control with its values and display texts.
std::string ParameterHelp();

}  // namespace qrv::cli
