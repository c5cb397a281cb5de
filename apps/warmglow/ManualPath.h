// `warmglow manual-path`: the installation's manual path in the settings store, which the plug-ins'
// configuration menu opens. `make install` stores it and `make uninstall` removes it through this
// command, so that the store's own format and locking are used.
#pragma once

#include <span>
#include <string>

#include "apps/warmglow/Args.h"
#include "apps/warmglow/Cli.h"

namespace qrv::cli {

std::span<const OptionSpec> ManualPathOptions();
std::string ManualPathDetails();
int RunManualPath(const ParsedArgs& args, Io& io);

}  // namespace qrv::cli
