// warmglow: the QRV warmGlow compressor on the command line. See 'warmglow --help'.
#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "apps/warmglow/Cli.h"

namespace {

// Ctrl-C asks the running command to stop, so that it can remove its temporary files; a second one
// kills the process the usual way.
extern "C" void OnInterrupt(int signal) {
  qrv::cli::RequestCancel();
  std::signal(signal, SIG_DFL);
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  std::vector<std::string> args(argv + 1, argv + argc);
  qrv::cli::Io io{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
  const int status = qrv::cli::RunCli(args, io);
  std::cout.flush();
  qrv::cli::ReleaseProcessResources();
  return status;
}
