// 'warmglow live': the compressor as a JACK client with its editor. The command line here; the client in
// format/jack. Main thread only.
#pragma once

#include <span>
#include <string>

#include "apps/warmglow/Args.h"
#include "apps/warmglow/Cli.h"

namespace qrv::cli {

std::span<const OptionSpec> LiveOptions();
std::string LiveDetails();
int RunLive(const ParsedArgs& args, Io& io);

}  // namespace qrv::cli
