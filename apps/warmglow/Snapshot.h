// 'warmglow snapshot': the whole editor window drawn headless into a PNG. Main thread only.
#pragma once

#include <span>
#include <string>

#include "apps/warmglow/Args.h"
#include "apps/warmglow/Cli.h"

namespace qrv::cli {

std::span<const OptionSpec> SnapshotOptions();
std::string SnapshotDetails();
int RunSnapshot(const ParsedArgs& args, Io& io);

}  // namespace qrv::cli
