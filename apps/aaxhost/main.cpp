#include <iostream>

#include "apps/aaxhost/AaxHostCli.h"

int main(int argc, char** argv) {
  return qrv::aaxhost::RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
