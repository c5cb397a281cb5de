// The bundle as LV2's checker expects it, beyond what lv2_validate's schemas check (Debian 12 has no
// lv2lint): one binary for the plug-ins and their UI that exports only the two entry points, holds the
// process-wide state once and needs no shared C++ runtime, a licence and a reachable maker, a short
// description, lv2:isLive, units and a comment on the ports, audio ports in port groups, and integer ports
// written with integer literals.
#include <elf.h>
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "format/lv2/Lv2Uris.h"
#include "tests/lv2/LilvHost.h"

namespace qrv::lv2 {
namespace {

using test::World;

constexpr const char* kLv2 = "http://lv2plug.in/ns/lv2core#";
constexpr const char* kDoap = "http://usefulinc.com/ns/doap#";
constexpr const char* kFoaf = "http://xmlns.com/foaf/0.1/";
constexpr const char* kPg = "http://lv2plug.in/ns/ext/port-groups#";
constexpr const char* kRdfs = "http://www.w3.org/2000/01/rdf-schema#";
constexpr const char* kUnits = "http://lv2plug.in/ns/extensions/units#";

// A node that frees itself.
struct Node {
  Node() = default;
  explicit Node(LilvNode* n) : node(n) {}
  Node(const std::string& base, const char* name) : node(World::Get().NewUri((base + name).c_str())) {}
  ~Node() { lilv_node_free(node); }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  LilvNode* node = nullptr;
};

const LilvNode* Get(const LilvNode* subject, const LilvNode* predicate, Node& holder) {
  lilv_node_free(holder.node);
  holder.node = lilv_world_get(World::Get().world(), subject, predicate, nullptr);
  return holder.node;
}

// The DT_NEEDED entries of a 64-bit ELF shared object; every offset is checked against the file.
std::vector<std::string> NeededLibraries(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  std::vector<std::string> needed;
  auto inside = [&](uint64_t offset, uint64_t size) { return offset <= bytes.size() && size <= bytes.size() - offset; };
  if (!inside(0, sizeof(Elf64_Ehdr))) return needed;
  Elf64_Ehdr eh;
  std::memcpy(&eh, bytes.data(), sizeof eh);
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64) return needed;
  auto section = [&](unsigned i, Elf64_Shdr& sh) {
    const uint64_t at = eh.e_shoff + static_cast<uint64_t>(i) * sizeof(Elf64_Shdr);
    if (i >= eh.e_shnum || !inside(at, sizeof sh)) return false;
    std::memcpy(&sh, bytes.data() + at, sizeof sh);
    return inside(sh.sh_offset, sh.sh_size);
  };
  for (unsigned i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr dyn, strtab;
    if (!section(i, dyn) || dyn.sh_type != SHT_DYNAMIC || !section(dyn.sh_link, strtab)) continue;
    for (uint64_t at = dyn.sh_offset; at + sizeof(Elf64_Dyn) <= dyn.sh_offset + dyn.sh_size; at += sizeof(Elf64_Dyn)) {
      Elf64_Dyn d;
      std::memcpy(&d, bytes.data() + at, sizeof d);
      if (d.d_tag == DT_NULL) break;
      if (d.d_tag != DT_NEEDED || d.d_un.d_val >= strtab.sh_size) continue;
      const char* s = bytes.data() + strtab.sh_offset + d.d_un.d_val;
      needed.emplace_back(s, strnlen(s, strtab.sh_size - d.d_un.d_val));
    }
  }
  return needed;
}

std::string BundleDir() { return test::BundleParent() + "/" + std::string(kBundleName); }

// The shared objects in the bundle, by file name.
std::set<std::string> BundleBinaries() {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(BundleDir())) {
    if (entry.path().extension() == ".so") names.insert(entry.path().filename().string());
  }
  return names;
}

// The names nm lists for a binary, one per defined symbol; `options` picks the table and the spelling.
std::vector<std::string> DefinedSymbols(const std::string& binary, const std::string& options) {
  std::vector<std::string> names;
  const std::string command = "nm " + options + " --defined-only '" + binary + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    // "ADDRESS TYPE NAME"; a demangled name may hold spaces.
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t type = text.find(' ');
    const std::size_t name = type == std::string::npos ? type : text.find(' ', type + 1);
    if (name != std::string::npos) names.push_back(text.substr(name + 1));
  }
  pclose(pipe);
  return names;
}

TEST(Lv2BundleRules, OneBinaryHoldsThePlugInsAndTheUi) {
  EXPECT_EQ(BundleBinaries(), std::set<std::string>{"warmglow.so"});
  const LilvPlugin* plugin = World::Get().Plugin(hostcontrols::Layout::kStereo);
  ASSERT_NE(plugin, nullptr);
  const LilvNode* library = lilv_plugin_get_library_uri(plugin);
  ASSERT_NE(library, nullptr);
  LilvUIs* uis = lilv_plugin_get_uis(plugin);
  ASSERT_EQ(lilv_uis_size(uis), 1u);
  const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
  EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), kUiUri);
  const LilvNode* uiBinary = lilv_ui_get_binary_uri(ui);
  ASSERT_NE(uiBinary, nullptr);
  EXPECT_TRUE(lilv_node_equals(uiBinary, library)) << lilv_node_as_uri(uiBinary) << " vs " << lilv_node_as_uri(library);
  lilv_uis_free(uis);
}

TEST(Lv2BundleRules, TheBinaryExportsExactlyTheTwoEntryPoints) {
  const std::vector<std::string> exported = DefinedSymbols(BundleDir() + "/warmglow.so", "-D");
  EXPECT_EQ(std::set<std::string>(exported.begin(), exported.end()),
            (std::set<std::string>{"lv2_descriptor", "lv2ui_descriptor"}));
}

// The settings cache, the platform services and the preset library's users are one per process only
// when the bundle defines each of them once, whichever entry point a host calls first.
TEST(Lv2BundleRules, TheProcessWideStateIsDefinedOnceInTheBundle) {
  const std::set<std::string> wanted = {
      "qrv::settings::(anonymous namespace)::g_process",
      "qrv::platform::(anonymous namespace)::Overrides()::s",
      "qrv::platform::GetRegistry()::system",
      "qrv::(anonymous namespace)::g_library",
      "qrv::(anonymous namespace)::g_users",
  };
  std::map<std::string, int> definitions;
  for (const std::string& name : wanted) definitions[name] = 0;
  for (const std::string& file : BundleBinaries()) {
    for (const std::string& name : DefinedSymbols(BundleDir() + "/" + file, "-C")) {
      if (wanted.contains(name)) ++definitions[name];
    }
  }
  for (const auto& [name, count] : definitions) EXPECT_EQ(count, 1) << name;
}

TEST(Lv2BundleRules, TheBinaryNeedsNoSharedCxxRuntime) {
  const std::string binary = BundleDir() + "/warmglow.so";
  const std::vector<std::string> needed = NeededLibraries(binary);
  ASSERT_FALSE(needed.empty()) << binary << " is not a readable shared object";
  bool libc = false;
  for (const std::string& lib : needed) {
    libc = libc || lib.starts_with("libc.so");
#if QRV_LV2_STATIC_RUNTIME
    EXPECT_FALSE(lib.starts_with("libstdc++") || lib.starts_with("libgcc_s")) << lib;
#endif
  }
  EXPECT_TRUE(libc);
}

TEST(Lv2BundleRules, EachPlugInHasALicenceAMakerToReachAShortDescriptionAndIsLive) {
  for (hostcontrols::Layout layout : {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo}) {
    SCOPED_TRACE(PluginUri(layout));
    const LilvPlugin* plugin = World::Get().Plugin(layout);
    ASSERT_NE(plugin, nullptr);
    const LilvNode* uri = lilv_plugin_get_uri(plugin);
    Node project(lilv_plugin_get_project(plugin));
    ASSERT_NE(project.node, nullptr);
    Node license, shortdesc, maintainer, mbox, homepage;
    Node licenseP(kDoap, "license"), shortdescP(kDoap, "shortdesc"), maintainerP(kDoap, "maintainer");
    Node mboxP(kFoaf, "mbox"), homepageP(kFoaf, "homepage");
    EXPECT_TRUE(Get(uri, licenseP.node, license) != nullptr || Get(project.node, licenseP.node, license) != nullptr);
    EXPECT_NE(Get(uri, shortdescP.node, shortdesc), nullptr);
    ASSERT_NE(Get(project.node, maintainerP.node, maintainer), nullptr);
    EXPECT_NE(Get(maintainer.node, mboxP.node, mbox), nullptr);
    EXPECT_NE(Get(maintainer.node, homepageP.node, homepage), nullptr);
    Node isLive(kLv2, "isLive");
    LilvNodes* features = lilv_plugin_get_supported_features(plugin);
    EXPECT_TRUE(lilv_nodes_contains(features, isLive.node));
    lilv_nodes_free(features);
  }
}

TEST(Lv2BundleRules, EveryPortIsCommentedUnitsAreGivenAudioIsGroupedAndIntegersAreIntegers) {
  Node comment(kRdfs, "comment"), unit(kUnits, "unit"), group(kPg, "group"), integer(kLv2, "integer");
  Node audio(kLv2, "AudioPort"), minimum(kLv2, "minimum"), maximum(kLv2, "maximum"), def(kLv2, "default");
  Node mainInput(kPg, "mainInput"), mainOutput(kPg, "mainOutput");
  Node monoGroup(kPg, "MonoGroup"), stereoGroup(kPg, "StereoGroup"), rdfType("http://www.w3.org/1999/02/22-rdf-syntax-ns#", "type");
  for (hostcontrols::Layout layout : {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo}) {
    SCOPED_TRACE(PluginUri(layout));
    const LilvPlugin* plugin = World::Get().Plugin(layout);
    ASSERT_NE(plugin, nullptr);
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), hostcontrols::PortCount(layout));  // also loads the plug-in's data
    const LilvNode* groupClass = layout == hostcontrols::Layout::kStereo ? stereoGroup.node : monoGroup.node;
    for (LilvNode* designation : {mainInput.node, mainOutput.node}) {
      Node g(lilv_world_get(World::Get().world(), lilv_plugin_get_uri(plugin), designation, nullptr));
      ASSERT_NE(g.node, nullptr);
      EXPECT_TRUE(lilv_world_ask(World::Get().world(), g.node, rdfType.node, groupClass));
    }
    for (uint32_t i = 0; i < hostcontrols::PortCount(layout); ++i) {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
      const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
      SCOPED_TRACE(symbol);
      Node c(lilv_port_get(plugin, port, comment.node));
      EXPECT_TRUE(c.node != nullptr && lilv_node_is_string(c.node) && *lilv_node_as_string(c.node) != '\0');
      if (lilv_port_is_a(plugin, port, audio.node)) {
        Node g(lilv_port_get(plugin, port, group.node));
        EXPECT_NE(g.node, nullptr);
      }
      // A port in dB says so: the meters and the control ports whose table row has a unit.
      const hostcontrols::ControlPort* control =
          i < hostcontrols::kControlPorts.size() ? &hostcontrols::kControlPorts[i] : nullptr;
      const bool decibels = (control != nullptr && !control->unit.empty()) || i == hostcontrols::kPortGainReduction ||
                            i == hostcontrols::kPortInputLevel || i == hostcontrols::kPortOutputLevel;
      if (decibels) {
        Node u(lilv_port_get(plugin, port, unit.node));
        EXPECT_NE(u.node, nullptr);
      }
      if (lilv_port_has_property(plugin, port, integer.node)) {
        for (LilvNode* predicate : {minimum.node, maximum.node, def.node}) {
          Node value(lilv_port_get(plugin, port, predicate));
          if (value.node != nullptr) {
            EXPECT_TRUE(lilv_node_is_int(value.node)) << lilv_node_as_string(predicate);
          }
        }
        LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
        LILV_FOREACH(scale_points, it, points) {
          EXPECT_TRUE(lilv_node_is_int(lilv_scale_point_get_value(lilv_scale_points_get(points, it))));
        }
        lilv_scale_points_free(points);
      }
    }
  }
}

}  // namespace
}  // namespace qrv::lv2
