#include "apps/warmglow/Settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "apps/warmglow/Args.h"
#include "apps/warmglow/Cli.h"
#include "dsp/FactoryPresets.h"
#include "presets/PresetBlob.h"
#include "presets/PresetLibrary.h"
#include "presets/PresetManager.h"

namespace qrv::cli {
namespace {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string ControlNames() {
  std::string names;
  for (unsigned slot : kControlSlots) names += (names.empty() ? "" : ", ") + std::string(ParameterName(slot));
  return names;
}

// The user preset folder for messages, quoted, or why there is none.
std::string UserFolderText() {
  const std::string folder = UserPresetFolderPath();
  return folder.empty() ? "(no user preset folder: " + UserPresetFolderProblem() + ")" : "'" + folder + "'";
}

// "0.1667" for a step value, "0.5", "1": short but exact enough to select the step.
std::string FormatValue(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4g", v);
  return text;
}

}  // namespace

Settings PresetSettings(int index) {
  Settings s;
  s.preset = index;
  GetFactoryPreset(index, s.values.data(), nullptr, nullptr);
  s.presetName = std::string(FactoryPresetName(index));
  return s;
}

int FindPreset(std::string_view text) {
  const std::string_view t = Trim(text);
  int number = 0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), number);
  if (!t.empty() && ec == std::errc() && end == t.data() + t.size()) {
    if (number < 0 || number >= kFactoryPresetCount) {
      throw CliError("no factory preset number " + std::string(t) + " (0.." +
                     std::to_string(kFactoryPresetCount - 1) + "; see 'warmglow presets')");
    }
    return number;
  }
  std::vector<int> matches;
  for (int i = 0; i < kFactoryPresetCount; ++i) {
    if (EqualsIgnoreCase(FactoryPresetName(i), t)) matches.push_back(i);
  }
  if (matches.size() > 1) {
    std::string numbers;
    for (std::size_t k = 0; k < matches.size(); ++k) {
      numbers += (k == 0 ? "" : k + 1 == matches.size() ? " and " : ", ") + std::to_string(matches[k]);
    }
    throw CliError("preset name '" + std::string(t) + "' matches factory presets " + numbers +
                   "; give the number instead");
  }
  if (matches.empty()) throw CliError("unknown preset '" + std::string(text) + "' (see 'warmglow presets')");
  return matches.front();
}

Settings PresetFileSettings(const std::string& path) {
  const PresetFileContents file = LoadPresetFile(path);
  if (file.status != BlobStatus::Ok) {
    throw CliError("preset file '" + path + "' does not load: " + DescribeBlobStatus(file.status));
  }
  Settings s;
  s.preset = -1;
  for (unsigned i = 0; i < kPresetValueCount; ++i) s.values[i] = static_cast<double>(file.record.values[i]);
  s.presetName = file.fileName;
  return s;
}

Settings ResolvePreset(std::string_view text) {
  const std::string t(Trim(text));
  std::error_code ec;
  if (t.ends_with(".qrv")) return PresetFileSettings(FindPresetFile(t));
  if (t.find('/') != std::string::npos && std::filesystem::is_regular_file(t, ec)) return PresetFileSettings(t);
  bool factoryName = false;
  for (int i = 0; i < kFactoryPresetCount; ++i) factoryName = factoryName || EqualsIgnoreCase(FactoryPresetName(i), t);
  try {
    return PresetSettings(FindPreset(t));
  } catch (const CliError&) {
    if (factoryName) throw;  // an ambiguous factory name stays an error, whatever the user presets hold
    if (const auto user = FindUserPreset(t)) return PresetFileSettings(user->string());
    int number = 0;
    const auto [end, numberEc] = std::from_chars(t.data(), t.data() + t.size(), number);
    if (!t.empty() && numberEc == std::errc() && end == t.data() + t.size()) throw;  // says which numbers exist
    throw CliError("unknown preset '" + std::string(text) + "': neither a factory preset nor a user preset in " +
                   UserFolderText() + " has that name (see 'warmglow presets')");
  }
}

std::optional<std::filesystem::path> FindUserPreset(std::string_view name) {
  if (name.ends_with(".qrv")) name.remove_suffix(4);
  if (name.empty()) return std::nullopt;
  // Every file, also those past the browser's 512 of a folder: a name given here is never "unknown"
  // while its file is there.
  const std::vector<UserPresetEntry> users = ScanEveryUserPreset();
  // First the names as listed, folder included ("Sub/Warm"); then a group's preset by its name alone.
  // The listed name may be cut, so the whole file name answers as well.
  for (const bool byNameInGroup : {false, true}) {
    std::vector<std::pair<const UserPresetEntry*, bool>> found;  // and whether it is spelt as given
    for (const UserPresetEntry& user : users) {
      const std::size_t slash = user.name.find('/');
      const bool inGroup = slash != std::string::npos;
      if (byNameInGroup && !inGroup) continue;
      const std::string listed = byNameInGroup ? user.name.substr(slash + 1) : user.name;
      const std::string whole =
          (inGroup && !byNameInGroup ? user.name.substr(0, slash + 1) : "") + user.path.stem().string();
      if (EqualsIgnoreCase(listed, name) || EqualsIgnoreCase(whole, name))
        found.emplace_back(&user, listed == name || whole == name);
    }
    if (found.empty()) continue;
    // "warm" next to "Warm" in one folder: the one spelt as given. Across groups a name stays ambiguous.
    const auto exact = [](const auto& f) { return f.second; };
    if (!byNameInGroup && found.size() > 1 && std::count_if(found.begin(), found.end(), exact) == 1)
      std::erase_if(found, [&](const auto& f) { return !exact(f); });
    if (found.size() == 1) return found.front().first->path;
    std::string files;
    for (std::size_t k = 0; k < found.size(); ++k) {
      files += (k == 0 ? "'" : k + 1 == found.size() ? " and '" : ", '") + found[k].first->path.string() + "'";
    }
    throw CliError("preset name '" + std::string(name) + "' matches user presets " + files +
                   "; give FOLDER/NAME or the path instead");
  }
  return std::nullopt;
}

std::string FindPresetFile(std::string_view text) {
  const std::string given(text);
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(given, ec))) return given;
  if (const auto user = FindUserPreset(text)) return user->string();
  throw CliError("cannot read '" + given + "': no such file, nor a user preset of that name in " + UserFolderText());
}

unsigned FindControl(std::string_view name) {
  const std::string_view n = Trim(name);
  for (unsigned slot = 0; slot < kParameterCount; ++slot) {
    const std::string_view candidate = ParameterName(slot);
    if (Trim(candidate).empty() || !EqualsIgnoreCase(candidate, n)) continue;
    if ((GetParameterFlags(slot) & kParameterFlagStored) == 0) {
      throw CliError("'" + std::string(candidate) + "' is a meter and cannot be set (controls: " + ControlNames() + ")");
    }
    return slot;
  }
  throw CliError("unknown parameter '" + std::string(name) + "' (controls: " + ControlNames() + ")");
}

double ParseNormalised(std::string_view text, std::string_view what) {
  const std::string_view t = Trim(text);
  double v = 0.0;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) {
    throw CliError("value '" + std::string(text) + "' for " + std::string(what) + " is not a number");
  }
  if (v < 0.0 || v > 1.0) {
    throw CliError("value " + std::string(t) + " for " + std::string(what) + " is outside 0..1 (values are normalised)");
  }
  return v;
}

std::pair<unsigned, double> ParseAssignment(std::string_view assignment) {
  const std::size_t eq = assignment.find('=');
  if (eq == std::string_view::npos) {
    throw CliError("--set expects NAME=VALUE, got '" + std::string(assignment) + "'");
  }
  const unsigned slot = FindControl(assignment.substr(0, eq));
  return {slot, ParseNormalised(assignment.substr(eq + 1), ParameterName(slot))};
}

void ApplyAssignment(Settings& settings, std::string_view assignment) {
  const auto [slot, value] = ParseAssignment(assignment);
  settings.values[slot] = value;
  settings.changes.emplace_back(assignment);
}

std::string DisplayText(unsigned index, double v) {
  char text[16] = {};
  GetParameterDisplay(index, v, text, sizeof text);
  return text;
}

std::string DescribeValues(const Settings& settings) {
  std::string text;
  for (unsigned slot : kControlSlots) {
    if (!text.empty()) text += ", ";
    text += std::string(ParameterName(slot)) + " " + DisplayText(slot, settings.values[slot]);
  }
  return text;
}

std::string ParameterHelp() {
  std::size_t width = 0;
  for (unsigned slot : kControlSlots) width = std::max(width, ParameterName(slot).size());
  std::string text = "Parameters:\n--set NAME=VALUE takes a NAME in any case and a VALUE normalised 0..1:\n\n";
  for (const ControlShape& shape : kControlShapes) {
    const std::string name(ParameterName(shape.slot));
    std::string values;
    if (!shape.texts.empty()) {
      // Named steps: each with the value at its centre, which selects it most robustly.
      for (int n = 0; n <= shape.displaySteps; ++n) {
        const double v = StepValue(n, shape.displaySteps);
        values += (n ? ", " : "") + FormatValue(v) + " " + DisplayText(shape.slot, v);
      }
    } else {
      values = DisplayText(shape.slot, 0.0) + " .. " + DisplayText(shape.slot, 1.0) + " in " +
               std::to_string(shape.displaySteps + 1) + " steps";
    }
    const double def = GetParameterDefault(shape.slot);
    text += "  " + name + std::string(width - name.size() + 2, ' ') +
            WrapText(values + "; default " + FormatValue(def) + " (" + DisplayText(shape.slot, def) + ")", width + 4,
                     width + 4) +
            "\n";
  }
  return text;
}

void LoadIntoManager(PresetManager& manager, const Settings& settings) {
  const PresetLibrary& library = manager.library();
  for (int i = 0; i < library.ItemCount(kBankApplication, 0); ++i)
    if (const PresetItem* item = library.Item(kBankApplication, 0, i); item && item->factoryIndex == settings.preset) {
      manager.LoadPosition(i);
      break;
    }
  for (unsigned slot : kControlSlots) manager.ParameterChanged(static_cast<int>(slot), settings.values[slot]);
  if (settings.preset < 0) {
    manager.RenameCurrent(settings.presetName);
    if (settings.changes.empty()) manager.AcceptCurrentAsReference();
  }
}

}  // namespace qrv::cli
