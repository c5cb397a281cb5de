// aaxhost edit: the plug-in's editor in a host window while IN (or silence) loops through the instance
// in real time.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace qrv::aaxhost {

// args[0] is "edit". With --log, every parameter value the host receives goes to standard output as one
// line "ID=VALUE", flushed at once; anything else written there meanwhile (the module's own diagnostics)
// is moved to standard error.
int RunEdit(const std::vector<std::string>& args, const std::string& defaultBundle, std::ostream& err);

}  // namespace qrv::aaxhost
