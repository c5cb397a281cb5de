// Runs a program with an argument vector (no shell) and collects its exit status and output.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qrv::test {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// Standard output and error go through files in `scratch` (created if missing).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& scratch);

}  // namespace qrv::test
