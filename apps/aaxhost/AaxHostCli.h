// The aaxhost command: describes an AAX-shaped module, or renders an audio file through it as a host
// would (registration, one instance, parameters, an audio thread in blocks, the direct-data timer).
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qrv::aaxhost {

// Runs the command with its arguments (without the program name); returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qrv::aaxhost
