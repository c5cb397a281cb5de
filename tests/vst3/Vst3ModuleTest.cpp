// The module as hosts and packagers see it: the bundle's layout, its three exports, the C++ runtime
// inside, the counted entry and exit, and a factory whose classes agree with moduleinfo.json.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ExportedSymbols.h"
#include "tests/vst3/Vst3TestHost.h"

namespace qrv::vst3::test {
namespace {

namespace fs = std::filesystem;

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

std::string Hex(const char* bytes) {
  std::string text;
  char digits[3];
  for (int i = 0; i < 16; ++i) {
    std::snprintf(digits, sizeof digits, "%02X", static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
    text += digits;
  }
  return text;
}

TEST(Vst3Module, SitsInTheBundleLayout) {
  const fs::path module(QRV_VST3_MODULE);
  EXPECT_EQ(module.filename(), "QRV warmGlow.so");
  EXPECT_EQ(module.parent_path().filename(), "x86_64-linux");
  EXPECT_EQ(module.parent_path().parent_path().filename(), "Contents");
  EXPECT_EQ(module.parent_path().parent_path().parent_path().filename(), "QRV warmGlow.vst3");
  EXPECT_TRUE(fs::is_regular_file(module.parent_path().parent_path() / "Resources" / "moduleinfo.json"));
}

TEST(Vst3Module, ExportsExactlyTheThreeEntryPoints) {
  EXPECT_EQ(qrv::test::ExportedSymbols(QRV_VST3_MODULE),
            (std::set<std::string>{"GetPluginFactory", "ModuleEntry", "ModuleExit"}));
}

TEST(Vst3Module, NeedsNoSharedCxxRuntime) {
  std::vector<std::string> needed;
  for (const std::string& line : Lines(std::string("readelf -d '") + QRV_VST3_MODULE + "' 2>/dev/null")) {
    if (line.find("(NEEDED)") != std::string::npos) needed.push_back(line);
  }
  ASSERT_FALSE(needed.empty()) << QRV_VST3_MODULE << " is not a readable shared object";
  bool libc = false;
  for (const std::string& lib : needed) {
    libc = libc || lib.find("[libc.so") != std::string::npos;
#if QRV_VST3_STATIC_RUNTIME
    EXPECT_EQ(lib.find("libstdc++"), std::string::npos) << lib;
    EXPECT_EQ(lib.find("libgcc_s"), std::string::npos) << lib;
#endif
  }
  EXPECT_TRUE(libc);
}

// Each exit answers an entry; one too many is refused.
TEST(Vst3Module, CountsEntriesAndExits) {
  void* handle = dlopen(QRV_VST3_MODULE, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  ASSERT_NE(handle, nullptr) << dlerror();
  auto entry = reinterpret_cast<ModuleEntryFunc>(dlsym(handle, kModuleEntryName));
  auto exit = reinterpret_cast<ModuleExitFunc>(dlsym(handle, kModuleExitName));
  ASSERT_NE(entry, nullptr);
  ASSERT_NE(exit, nullptr);
  EXPECT_FALSE(exit());
  EXPECT_TRUE(entry(handle));
  EXPECT_TRUE(entry(handle));
  EXPECT_TRUE(exit());
  EXPECT_TRUE(exit());
  EXPECT_FALSE(exit());
  dlclose(handle);
}

TEST(Vst3Factory, DescribesTwoEffectClasses) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  PFactoryInfo info{};
  ASSERT_EQ(module.factory()->getFactoryInfo(&info), kResultOk);
  EXPECT_STREQ(info.vendor, "Quarry-tone");
  EXPECT_EQ(info.flags & PFactoryInfo::kUnicode, PFactoryInfo::kUnicode);
  ASSERT_EQ(module.factory()->countClasses(), 2);
  Ref<IPluginFactory2> factory2 = module.Factory<IPluginFactory2>();
  Ref<IPluginFactory3> factory3 = module.Factory<IPluginFactory3>();
  ASSERT_TRUE(factory2);
  ASSERT_TRUE(factory3);
  const Uid* ids[2] = {&kMono, &kStereo};
  const char* names[2] = {"QRV warmGlow Mono", "QRV warmGlow Stereo"};
  for (int i = 0; i < 2; ++i) {
    PClassInfo c{};
    ASSERT_EQ(module.factory()->getClassInfo(i, &c), kResultOk);
    EXPECT_TRUE(SameUid(c.cid, *ids[i]));
    EXPECT_STREQ(c.category, "Audio Module Class");
    EXPECT_STREQ(c.name, names[i]);
    EXPECT_EQ(c.cardinality, PClassInfo::kManyInstances);
    PClassInfo2 c2{};
    ASSERT_EQ(factory2->getClassInfo2(i, &c2), kResultOk);
    EXPECT_TRUE(SameUid(c2.cid, *ids[i]));
    EXPECT_STREQ(c2.subCategories, "Fx|Dynamics");
    EXPECT_STREQ(c2.vendor, "Quarry-tone");
    EXPECT_STREQ(c2.version, QRV_PROJECT_VERSION);
    EXPECT_STREQ(c2.sdkVersion, kVstVersionString);
    PClassInfoW cw{};
    ASSERT_EQ(factory3->getClassInfoUnicode(i, &cw), kResultOk);
    EXPECT_EQ(Narrow(cw.name), names[i]);
    EXPECT_EQ(Narrow(cw.version), QRV_PROJECT_VERSION);
    EXPECT_STREQ(cw.subCategories, "Fx|Dynamics");
  }
  PClassInfo none{};
  EXPECT_NE(module.factory()->getClassInfo(2, &none), kResultOk);
  EXPECT_NE(module.factory()->getClassInfo(-1, &none), kResultOk);
}

TEST(Vst3Factory, CreatesKnownClassesOnly) {
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  void* obj = reinterpret_cast<void*>(1);
  const Uid unknown = MakeUid(1, 2, 3, 4);
  EXPECT_NE(module.factory()->createInstance(unknown.bytes, IComponent::iid.bytes, &obj), kResultOk);
  EXPECT_EQ(obj, nullptr);
  // An interface the class lacks: nothing, and nothing leaked.
  EXPECT_NE(module.factory()->createInstance(kMono.bytes, IPlugView::iid.bytes, &obj), kResultOk);
  EXPECT_EQ(obj, nullptr);
  ASSERT_EQ(module.factory()->createInstance(kStereo.bytes, IAudioProcessor::iid.bytes, &obj), kResultOk);
  ASSERT_NE(obj, nullptr);
  Ref<IAudioProcessor> processor = Ref<IAudioProcessor>::Adopt(static_cast<IAudioProcessor*>(obj));
  // One object: component, processor, controller and unit info.
  Ref<IComponent> component = QueryInterface<IComponent>(processor.get());
  ASSERT_TRUE(component);
  EXPECT_TRUE(QueryInterface<IEditController>(component.get()));
  EXPECT_TRUE(QueryInterface<IUnitInfo>(component.get()));
  TUID controller{};
  EXPECT_NE(component->getControllerClassId(controller), kResultOk);
}

// moduleinfo.json names the classes the factory has, with their ids, names, category and version.
TEST(Vst3Factory, ModuleInfoAgreesWithTheFactory) {
  const fs::path info = fs::path(QRV_VST3_MODULE).parent_path().parent_path() / "Resources" / "moduleinfo.json";
  std::ifstream in(info);
  ASSERT_TRUE(in) << info;
  std::stringstream text;
  text << in.rdbuf();
  const std::string json = text.str();
  Module module;
  ASSERT_TRUE(module.ok()) << module.error();
  for (int i = 0; i < 2; ++i) {
    PClassInfo c{};
    ASSERT_EQ(module.factory()->getClassInfo(i, &c), kResultOk);
    EXPECT_NE(json.find("\"CID\": \"" + Hex(c.cid) + "\""), std::string::npos) << Hex(c.cid);
    EXPECT_NE(json.find(std::string("\"Name\": \"") + c.name + "\""), std::string::npos) << c.name;
  }
  EXPECT_NE(json.find("\"Sub Categories\": [\"Fx\", \"Dynamics\"]"), std::string::npos);
  EXPECT_NE(json.find("\"Version\": \"" QRV_PROJECT_VERSION "\""), std::string::npos);
  EXPECT_NE(json.find("\"Category\": \"Audio Module Class\""), std::string::npos);
  // Well-formed enough for a JSON reader: balanced braces and brackets.
  int depth = 0;
  for (char ch : json) {
    depth += ch == '{' || ch == '[' ? 1 : ch == '}' || ch == ']' ? -1 : 0;
    ASSERT_GE(depth, 0);
  }
  EXPECT_EQ(depth, 0);
}

}  // namespace
}  // namespace qrv::vst3::test
