#include "apps/warmglow/ManualPath.h"

#include <unistd.h>

#include <filesystem>
#include <ostream>

#include "platform/AtomicFile.h"
#include "platform/Environment.h"
#include "platform/Registry.h"
#include "presets/SettingsStore.h"

namespace qrv::cli {
namespace {

namespace fs = std::filesystem;

constexpr OptionSpec kManualPathOptions[] = {
    {"--set", "FILE", "store FILE (an existing file) as the manual the plug-ins open"},
    {"--unset-if", "FILE", "remove the stored path, but only while it names FILE"},
    {"--settings-file", "", "print the settings file's path instead"},
};

// The path as the store keeps it: absolute and without "." or ".." components, so that uninstalling compares
// like with like.
std::string Absolute(const std::string& file) { return fs::absolute(fs::path(file)).lexically_normal().string(); }

}  // namespace

std::span<const OptionSpec> ManualPathOptions() { return kManualPathOptions; }

std::string ManualPathDetails() {
  return "\nWithout options, prints the stored path (nothing when none is stored). The plug-ins' configuration\n"
         "menu (Manual: Open) opens the stored path; when none is stored, the manual recorded beside the\n"
         "plug-in's binary at installation. 'make install' stores the installed manual's path and 'make\n"
         "uninstall' removes it while it still names that manual. Only this value of the settings is read\n"
         "or changed.\n"
         "\nExamples:\n"
         "  warmglow manual-path\n"
         "  warmglow manual-path --set ~/.local/share/doc/qrv-warmglow/index.html\n";
}

int RunManualPath(const ParsedArgs& args, Io& io) {
  const std::string* set = args.Value("--set");
  const std::string* unset = args.Value("--unset-if");
  const bool where = args.Has("--settings-file");
  if ((set != nullptr) + (unset != nullptr) + where > 1)
    throw CliError("--set, --unset-if and --settings-file exclude each other");
  // Without a settings folder there is nothing to read or store: never a file in the working folder.
  if (platform::DefaultRegistryFile().empty())
    throw CliError("there is no settings folder: " + platform::ConfigFolderProblem());
  if (where) {
    io.out << platform::DefaultRegistryFile().string() << "\n";
    return kExitOk;
  }
  std::string why;
  if (set != nullptr) {
    const std::string path = Absolute(*set);
    // A regular file, not a folder or a FIFO: what an opener can show.
    const int fd = platform::OpenRegularFile(path);
    if (fd < 0) throw CliError("'" + path + "' is not a readable file");
    ::close(fd);
    if (!settings::StoreManualPath(path, &why)) throw CliError("could not store the settings: " + why);
    io.out << "manual path stored: " << Printable(path) << "\n";
    return kExitOk;
  }
  if (unset != nullptr) {
    const std::string path = Absolute(*unset);
    if (settings::RemoveManualPathIf(path, &why)) {
      io.out << "manual path removed: " << Printable(path) << "\n";
    } else if (!why.empty()) {
      throw CliError("could not store the settings: " + why);
    } else {
      io.out << "manual path kept: it does not name " << Printable(path) << "\n";
    }
    return kExitOk;
  }
  const std::string stored = settings::ReadManualPath();
  if (!stored.empty()) io.out << Printable(stored) << "\n";
  return kExitOk;
}

}  // namespace qrv::cli
