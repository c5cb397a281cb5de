#include "tests/support/ExportedSymbols.h"

#include <cstdio>

namespace qrv::test {

std::set<std::string> ExportedSymbols(const std::filesystem::path& binary) {
  std::set<std::string> names;
  const std::string command = "nm -D --defined-only '" + binary.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char address[64], type[8], name[400];
    if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) names.insert(name);
  }
  pclose(pipe);
  return names;
}

}  // namespace qrv::test
