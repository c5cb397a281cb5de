// Points the user's folders (settings, user presets) of a fuzz target at a fresh temporary folder, so that
// the preset objects a target builds never touch the real ones. Including this header (in the target's
// one source file) gives the target the LLVMFuzzerInitialize that does it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace qrv::fuzz {

inline void UseScratchUserFolders() {
  // In memory where there is such a folder: the preset objects write settings (with fsync) as they go.
  static std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm/qrv-fuzz-XXXXXX" : "/tmp/qrv-fuzz-XXXXXX";
  if (mkdtemp(dir.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  });
  setenv("USERPROFILE", dir.c_str(), 1);
  setenv("HOME", dir.c_str(), 1);
  setenv("QRV_CONFIG_DIR", (dir + "/config").c_str(), 1);
}

}  // namespace qrv::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qrv::fuzz::UseScratchUserFolders();
  return 0;
}
