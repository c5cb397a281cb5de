// The dynamic symbols a shared object defines, as `nm -D --defined-only` lists them; on Windows the names
// of a DLL's export table.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace qrv::test {

// Empty when nm cannot run or cannot read the file (nm's complaint goes to standard error).
std::set<std::string> ExportedSymbols(const std::filesystem::path& binary);

}  // namespace qrv::test
