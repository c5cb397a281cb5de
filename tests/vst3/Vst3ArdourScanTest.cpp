// A VST3 host nobody here wrote: Ardour's scanner (the program Ardour runs on every VST3 bundle before it
// offers its plug-ins) loads the built bundle, instantiates each class, reads its buses and lists both
// plug-ins with the factory's facts. Its cache goes into a scratch HOME.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace qrv::vst3::test {
namespace {

namespace fs = std::filesystem;

TEST(Vst3Ardour, TheScannerListsBothPlugins) {
  ASSERT_TRUE(fs::exists(QRV_ARDOUR_VST3_SCANNER)) << QRV_ARDOUR_VST3_SCANNER << " is missing (Debian's ardour)";
  const fs::path bundle = fs::path(QRV_VST3_MODULE).parent_path().parent_path().parent_path();
  qrv::test::TempDir home, scratch;
  const std::string libraries = fs::path(QRV_ARDOUR_VST3_SCANNER).parent_path().string();
  const qrv::test::ProcessResult r = qrv::test::RunProcess(
      "/usr/bin/env",
      {"HOME=" + home.path().string(), "XDG_CACHE_HOME=" + (home / "cache").string(),
       "LD_LIBRARY_PATH=" + libraries, QRV_ARDOUR_VST3_SCANNER, "-v", "-f", bundle.string()},
      scratch.path());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string all = r.out + r.err;
  EXPECT_NE(all.find("Found Plugin: QRV warmGlow Mono"), std::string::npos) << all;
  EXPECT_NE(all.find("Found Plugin: QRV warmGlow Stereo"), std::string::npos) << all;
  EXPECT_NE(all.find("uid=\"CD0EB5F5359C4F70BCAC53ABE86077B4\" name=\"QRV warmGlow Mono\" vendor=\"Quarry-tone\" "
                     "category=\"Fx|Dynamics\""),
            std::string::npos)
      << all;
  EXPECT_NE(all.find("name=\"QRV warmGlow Stereo\""), std::string::npos);
  EXPECT_NE(all.find("n_inputs=\"2\" n_outputs=\"2\""), std::string::npos);
  EXPECT_NE(all.find("n_inputs=\"1\" n_outputs=\"1\""), std::string::npos);
}

}  // namespace
}  // namespace qrv::vst3::test
