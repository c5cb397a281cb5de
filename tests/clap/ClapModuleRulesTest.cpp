// The module file as hosts and packagers see it: one export, the C++ runtime inside.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tests/support/ExportedSymbols.h"

namespace qrv::clap::test {
namespace {

// The lines a command prints; empty when it cannot run.
std::vector<std::string> Lines(const std::string& command) {
  std::vector<std::string> lines;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return lines;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    lines.push_back(text);
  }
  pclose(pipe);
  return lines;
}

TEST(ClapModuleRules, ExportsExactlyClapEntry) {
  EXPECT_EQ(qrv::test::ExportedSymbols(QRV_CLAP_MODULE), std::set<std::string>{"clap_entry"});
}

TEST(ClapModuleRules, NeedsNoSharedCxxRuntime) {
  std::vector<std::string> needed;
  for (const std::string& line : Lines(std::string("readelf -d '") + QRV_CLAP_MODULE + "' 2>/dev/null")) {
    if (line.find("(NEEDED)") != std::string::npos) needed.push_back(line);
  }
  ASSERT_FALSE(needed.empty()) << QRV_CLAP_MODULE << " is not a readable shared object";
  bool libc = false;
  for (const std::string& lib : needed) {
    libc = libc || lib.find("[libc.so") != std::string::npos;
#if QRV_CLAP_STATIC_RUNTIME
    EXPECT_EQ(lib.find("libstdc++"), std::string::npos) << lib;
    EXPECT_EQ(lib.find("libgcc_s"), std::string::npos) << lib;
#endif
  }
  EXPECT_TRUE(libc);
}

}  // namespace
}  // namespace qrv::clap::test
