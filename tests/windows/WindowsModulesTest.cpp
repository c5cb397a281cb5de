// The Windows modules as hosts and packagers see them: their places in the bundles, exactly their entry
// points exported, the class ids moduleinfo.json names (as on every platform), and no editor: no gui
// extension from CLAP, no view from VST3 (the AAX-style description's procedures are in test_aax).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "tests/clap/ClapTestHost.h"
#include "tests/support/ExportedSymbols.h"
#include "tests/support/SharedLibrary.h"
#include "tests/vst3/Vst3TestHost.h"

namespace qrv::test {
namespace {

namespace fs = std::filesystem;

TEST(WindowsModules, SitInTheirBundleLayouts) {
  const fs::path clap(QRV_CLAP_MODULE);
  EXPECT_EQ(clap.filename(), "QRV warmGlow.clap");
  EXPECT_TRUE(fs::is_regular_file(clap));

  const fs::path vst3(QRV_VST3_MODULE);
  EXPECT_EQ(vst3, fs::path(QRV_VST3_BUNDLE_DIR) / "Contents" / "x86_64-win" / "QRV warmGlow.vst3");
  EXPECT_EQ(fs::path(QRV_VST3_BUNDLE_DIR).filename(), "QRV warmGlow.vst3");
  EXPECT_TRUE(fs::is_regular_file(vst3));
  EXPECT_TRUE(fs::is_regular_file(fs::path(QRV_VST3_BUNDLE_DIR) / "Contents" / "Resources" / "moduleinfo.json"));

  const fs::path aax = fs::path(QRV_AAX_BUNDLE) / "Contents" / "x64" / "QRV warmGlow.aaxplugin";
  EXPECT_TRUE(fs::is_regular_file(aax));
  EXPECT_TRUE(fs::is_regular_file(fs::path(QRV_AAX_BUNDLE) / "Contents" / "Resources" / "QRVwarmGlowPageTables.xml"));
}

TEST(WindowsModules, ExportExactlyTheirEntryPoints) {
  EXPECT_EQ(ExportedSymbols(QRV_CLAP_MODULE), (std::set<std::string>{"clap_entry"}));
  EXPECT_EQ(ExportedSymbols(QRV_VST3_MODULE), (std::set<std::string>{"GetPluginFactory", "InitDll", "ExitDll"}));
  EXPECT_EQ(ExportedSymbols(fs::path(QRV_AAX_BUNDLE) / "Contents" / "x64" / "QRV warmGlow.aaxplugin"),
            (std::set<std::string>{"ACFStartup", "ACFRegisterPlugin", "ACFRegisterComponent", "ACFGetClassFactory",
                                   "ACFCanUnloadNow", "ACFShutdown", "ACFGetSDKVersion", "InitDll", "ExitDll"}));
}

// The ids as written, as the Linux bundle's file names them: hosts and presets find the same classes.
TEST(WindowsModules, ModuleInfoNamesTheClassesAsEveryPlatformDoes) {
  std::ifstream in(fs::path(QRV_VST3_BUNDLE_DIR) / "Contents" / "Resources" / "moduleinfo.json");
  const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(json.find("\"CID\": \"CD0EB5F5359C4F70BCAC53ABE86077B4\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"CID\": \"FAA7827A2D5B4346AE2306C80D49366D\""), std::string::npos) << json;
}

// Windows' entry and exit, counted as ModuleEntry and ModuleExit are elsewhere: hosts may call each more
// than once, and an exit without its entry answers false.
TEST(WindowsModules, Vst3InitDllAndExitDllCount) {
  std::string error;
  void* module = OpenLibrary(QRV_VST3_MODULE, &error);
  ASSERT_NE(module, nullptr) << error;
  auto init = reinterpret_cast<vst3::abi::InitDllFunc>(LibrarySymbol(module, vst3::abi::kInitDllName));
  auto exit = reinterpret_cast<vst3::abi::ExitDllFunc>(LibrarySymbol(module, vst3::abi::kExitDllName));
  ASSERT_NE(init, nullptr);
  ASSERT_NE(exit, nullptr);
  EXPECT_TRUE(init());
  EXPECT_TRUE(init());
  EXPECT_TRUE(exit());
  EXPECT_TRUE(exit());
  EXPECT_FALSE(exit());
  CloseLibrary(module);
}

TEST(WindowsModules, ClapOffersNoEditor) {
  clap::test::Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  clap::test::Host host;
  for (const char* id : {"com.quarry-tone.warmglow.mono", "com.quarry-tone.warmglow.stereo"}) {
    clap::test::Instance instance(module, host, id);
    ASSERT_NE(instance.plugin(), nullptr);
    for (const char* ext : {CLAP_EXT_GUI, CLAP_EXT_TIMER_SUPPORT, CLAP_EXT_POSIX_FD_SUPPORT})
      EXPECT_EQ(instance.plugin()->get_extension(instance.plugin(), ext), nullptr) << ext;
    // The generic controls have what they need.
    EXPECT_NE(instance.plugin()->get_extension(instance.plugin(), CLAP_EXT_PARAMS), nullptr);
    EXPECT_NE(instance.plugin()->get_extension(instance.plugin(), CLAP_EXT_STATE), nullptr);
  }
}

TEST(WindowsModules, Vst3CreatesNoView) {
  vst3::test::Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  vst3::test::Host host;
  for (const vst3::abi::Uid* cid : {&vst3::test::kMono, &vst3::test::kStereo}) {
    vst3::test::Instance instance(module, host, *cid);
    ASSERT_TRUE(instance.ok());
    EXPECT_EQ(instance.controller()->createView(vst3::abi::kEditor), nullptr);
    EXPECT_GT(instance.controller()->getParameterCount(), 7);
  }
}

}  // namespace
}  // namespace qrv::test
