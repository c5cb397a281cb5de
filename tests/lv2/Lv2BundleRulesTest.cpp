// The bundle as LV2's checker expects it, beyond what lv2_validate's schemas check (Debian 12 has no
// lv2lint): a plug-in binary that exports only lv2_descriptor and needs no window system or toolkit, a UI
// binary that exports only lv2ui_descriptor, and one shared library of the bundle that both link, which
// alone defines the process-wide state and exports nothing of the C++ runtime; no binary needs the shared
// C++ runtime. Then a licence and a reachable maker, a short description, lv2:isLive, units and a comment
// on the ports, audio ports in port groups, and integer ports written with integer literals.
#include <elf.h>
#include <gtest/gtest.h>
#include <lilv/lilv.h>

#include <cstdio>
#include <algorithm>
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
std::string PluginBinary() { return BundleDir() + "/" + QRV_LV2_PLUGIN_BINARY; }
std::string UiBinary() { return BundleDir() + "/" + QRV_LV2_UI_BINARY; }
std::string CoreBinary() { return BundleDir() + "/" + QRV_LV2_CORE_BINARY; }

// The shared objects in the bundle, by file name.
std::set<std::string> BundleBinaries() {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(BundleDir())) {
    if (entry.path().extension() == ".so") names.insert(entry.path().filename().string());
  }
  return names;
}

// The lines a command prints; empty when it cannot run.
std::vector<std::string> OutputLines(const std::string& command) {
  std::vector<std::string> lines;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return lines;
  char line[8192];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    lines.push_back(text);
  }
  pclose(pipe);
  return lines;
}

// One defined symbol as nm lists it: its type letter (upper case: global, lower case: local; W and V weak)
// and its name.
struct Symbol {
  char type;
  std::string name;
};

// The symbols nm lists for a binary; `options` picks the table and the spelling.
std::vector<Symbol> Symbols(const std::string& binary, const std::string& options) {
  std::vector<Symbol> symbols;
  for (const std::string& text : OutputLines("nm " + options + " --defined-only '" + binary + "' 2>/dev/null")) {
    // "ADDRESS TYPE NAME"; a demangled name may hold spaces.
    const std::size_t type = text.find(' ');
    const std::size_t name = type == std::string::npos ? type : text.find(' ', type + 1);
    if (name != std::string::npos && name == type + 2) symbols.push_back({text[type + 1], text.substr(name + 1)});
  }
  return symbols;
}

std::vector<std::string> DefinedSymbols(const std::string& binary, const std::string& options) {
  std::vector<std::string> names;
  for (const Symbol& symbol : Symbols(binary, options)) names.push_back(symbol.name);
  return names;
}

// Each defined object's section, by demangled name, from objdump's full symbol table.
std::multimap<std::string, std::string> ObjectSections(const std::string& binary) {
  std::multimap<std::string, std::string> sections;
  for (const std::string& text : OutputLines("objdump -tC '" + binary + "' 2>/dev/null")) {
    // "ADDRESS FLAGS(7) SECTION\tSIZE [.hidden ]NAME"; objects carry the flag O.
    const std::size_t tab = text.find('\t');
    if (tab == std::string::npos || tab < 26 || text.compare(16, 1, " ") != 0 || text[16 + 1 + 6] != 'O') continue;
    const std::string section = text.substr(25, tab - 25);
    std::size_t at = text.find_first_not_of("0123456789abcdef", tab + 1);
    at = text.find_first_not_of(' ', at);
    if (at == std::string::npos) continue;
    std::string name = text.substr(at);
    if (name.starts_with(".hidden ")) name = name.substr(8);
    sections.emplace(name, section);
  }
  return sections;
}

bool IsProjectSymbol(const std::string& name) {
  for (const char* prefix : {"qrv::", "vtable for qrv::", "typeinfo for qrv::", "typeinfo name for qrv::",
                             "guard variable for qrv::", "VTT for qrv::", "non-virtual thunk to qrv::",
                             "virtual thunk to qrv::"}) {
    if (name.starts_with(prefix)) return true;
  }
  return false;
}

// The libraries a binary needs that a headless host may not have, or must not be made to load.
bool IsWindowSystemOrToolkit(const std::string& library) {
  for (const char* prefix : {"libX", "libxcb", "libcairo", "libpango", "libglib", "libgobject", "libgio",
                             "libgtk", "libgdk", "libfontconfig", "libfreetype", "libharfbuzz"}) {
    if (library.starts_with(prefix)) return true;
  }
  return false;
}

TEST(Lv2BundleRules, ThePlugInsTheUiAndTheirSharedLibraryAreThreeBinaries) {
  EXPECT_EQ(BundleBinaries(),
            (std::set<std::string>{QRV_LV2_PLUGIN_BINARY, QRV_LV2_UI_BINARY, QRV_LV2_CORE_BINARY}));
  for (hostcontrols::Layout layout : {hostcontrols::Layout::kMono, hostcontrols::Layout::kStereo}) {
    const LilvPlugin* plugin = World::Get().Plugin(layout);
    ASSERT_NE(plugin, nullptr);
    const LilvNode* library = lilv_plugin_get_library_uri(plugin);
    ASSERT_NE(library, nullptr);
    char* path = lilv_file_uri_parse(lilv_node_as_uri(library), nullptr);
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(std::filesystem::path(path).filename().string(), QRV_LV2_PLUGIN_BINARY);
    lilv_free(path);
    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), kUiUri);
    const LilvNode* uiBinary = lilv_ui_get_binary_uri(ui);
    ASSERT_NE(uiBinary, nullptr);
    char* uiPath = lilv_file_uri_parse(lilv_node_as_uri(uiBinary), nullptr);
    ASSERT_NE(uiPath, nullptr);
    EXPECT_EQ(std::filesystem::path(uiPath).filename().string(), QRV_LV2_UI_BINARY);
    lilv_free(uiPath);
    lilv_uis_free(uis);
  }
}

TEST(Lv2BundleRules, EachBinaryExportsOnlyItsEntryPoint) {
  const std::vector<std::string> plugin = DefinedSymbols(PluginBinary(), "-D");
  EXPECT_EQ(std::set<std::string>(plugin.begin(), plugin.end()), std::set<std::string>{"lv2_descriptor"});
  const std::vector<std::string> ui = DefinedSymbols(UiBinary(), "-D");
  EXPECT_EQ(std::set<std::string>(ui.begin(), ui.end()), std::set<std::string>{"lv2ui_descriptor"});
}

// The shared library exports what the two binaries call, and nothing of the C++ runtime inside it: a host's
// own runtime is never bound to ours, nor ours to the host's. No unique symbol either, which would keep
// the library loaded after the host has unloaded both binaries.
TEST(Lv2BundleRules, TheSharedLibraryExportsOnlyTheProjectsSymbols) {
  const std::vector<Symbol> exported = Symbols(CoreBinary(), "-D -C");
  ASSERT_GT(exported.size(), 50u) << CoreBinary() << " exports too little to be the bundle's shared library";
  bool settings = false, presetManager = false, presetManagerVtable = false;
  for (const Symbol& symbol : exported) {
    EXPECT_TRUE(IsProjectSymbol(symbol.name)) << symbol.name;
    EXPECT_NE(symbol.type, 'u') << "unique: " << symbol.name;
    settings = settings || symbol.name.starts_with("qrv::settings::");
    presetManager = presetManager || symbol.name.starts_with("qrv::PresetManager::");
    presetManagerVtable = presetManagerVtable || symbol.name == "vtable for qrv::PresetManager";
  }
  EXPECT_TRUE(settings && presetManager && presetManagerVtable) << "the settings and preset code is not exported";
}

// A headless host loads the plug-ins where no window system, cairo, pango or GLib is installed: neither the
// plug-in binary nor the shared library needs them, directly or through another library.
TEST(Lv2BundleRules, ThePlugInBinaryAndTheSharedLibraryNeedNoWindowSystemOrToolkit) {
  const std::vector<std::string> plugin = NeededLibraries(PluginBinary());
  ASSERT_FALSE(plugin.empty()) << PluginBinary() << " is not a readable shared object";
  EXPECT_NE(std::find(plugin.begin(), plugin.end(), QRV_LV2_CORE_BINARY), plugin.end())
      << "the plug-in binary does not link the shared library";
  const std::vector<std::string> core = NeededLibraries(CoreBinary());
  ASSERT_FALSE(core.empty()) << CoreBinary() << " is not a readable shared object";
  for (const std::string& library : plugin) EXPECT_FALSE(IsWindowSystemOrToolkit(library)) << library;
  for (const std::string& library : core) EXPECT_FALSE(IsWindowSystemOrToolkit(library)) << library;
  // Everything the loader brings in with the plug-in binary ("NAME => PATH (ADDRESS)").
  const std::vector<std::string> loaded = OutputLines("ldd '" + PluginBinary() + "' 2>&1");
  ASSERT_FALSE(loaded.empty());
  bool coreFound = false;
  for (const std::string& line : loaded) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos) continue;
    const std::string name = line.substr(start, line.find(' ', start) - start);
    EXPECT_FALSE(IsWindowSystemOrToolkit(name)) << line;
    EXPECT_EQ(line.find("not found"), std::string::npos) << line;
    coreFound = coreFound || line.find(std::string(BundleDir()) + "/" + QRV_LV2_CORE_BINARY) != std::string::npos;
  }
  EXPECT_TRUE(coreFound) << "the loader does not find the shared library beside the plug-in binary";
  // The UI binary links the editor's libraries and the shared library.
  const std::vector<std::string> ui = NeededLibraries(UiBinary());
  EXPECT_NE(std::find(ui.begin(), ui.end(), QRV_LV2_CORE_BINARY), ui.end());
}

// The settings cache, the platform services and the preset library's users are one per process only
// when the bundle defines each of them once, in the shared library both binaries load.
TEST(Lv2BundleRules, TheProcessWideStateIsDefinedOnlyInTheSharedLibrary) {
  const std::set<std::string> wanted = {
      "qrv::settings::(anonymous namespace)::g_process",
      "qrv::platform::(anonymous namespace)::Overrides()::s",
      "qrv::platform::GetRegistry()::system",
      "qrv::(anonymous namespace)::g_library",
      "qrv::(anonymous namespace)::g_users",
  };
  std::map<std::string, int> definitions, inCore;
  for (const std::string& name : wanted) definitions[name] = inCore[name] = 0;
  for (const std::string& file : BundleBinaries()) {
    for (const std::string& name : DefinedSymbols(BundleDir() + "/" + file, "-C")) {
      if (!wanted.contains(name)) continue;
      ++definitions[name];
      if (file == QRV_LV2_CORE_BINARY) ++inCore[name];
    }
  }
  for (const auto& [name, count] : definitions) {
    EXPECT_EQ(count, 1) << name;
    EXPECT_EQ(inCore[name], 1) << name << " is not the shared library's";
  }
}

// Neither binary has code of its own that the shared library defines: a function or an object the shared
// library defines strongly is not defined in a binary at all (the linker took no member of a static
// library a second time), and no object a binary may write is one the shared library defines too. Inline
// code and constants, which the compiler puts into every binary that uses them, are the only copies.
TEST(Lv2BundleRules, TheBinariesDefineNoneOfTheSharedLibrarysCodeOrState) {
  std::set<std::string> strong, everything;
  for (const Symbol& symbol : Symbols(CoreBinary(), "-D -C")) {
    if (std::string("TDBR").find(symbol.type) != std::string::npos) strong.insert(symbol.name);
  }
  ASSERT_GT(strong.size(), 50u) << CoreBinary() << " defines too little to be the bundle's shared library";
  for (const std::string& name : DefinedSymbols(CoreBinary(), "-C")) everything.insert(name);
  for (const std::string& binary : {PluginBinary(), UiBinary()}) {
    SCOPED_TRACE(binary);
    const std::vector<Symbol> own = Symbols(binary, "-C");
    ASSERT_FALSE(own.empty()) << "no symbol table";
    int qrv = 0;
    for (const Symbol& symbol : own) {
      if (!symbol.name.starts_with("qrv::")) continue;
      ++qrv;
      EXPECT_FALSE(strong.contains(symbol.name)) << "defined again: " << symbol.name;
    }
    EXPECT_GT(qrv, 0) << "the binary has no code of the project's own";
    for (const auto& [name, section] : ObjectSections(binary)) {
      if (!name.starts_with("qrv::") || !everything.contains(name)) continue;
      EXPECT_TRUE(section.starts_with(".rodata") || section.starts_with(".data.rel.ro"))
          << "a second copy of state: " << name << " in " << section;
    }
  }
}

TEST(Lv2BundleRules, NoBinaryNeedsTheSharedCxxRuntime) {
  for (const std::string& binary : {PluginBinary(), UiBinary(), CoreBinary()}) {
    const std::vector<std::string> needed = NeededLibraries(binary);
    ASSERT_FALSE(needed.empty()) << binary << " is not a readable shared object";
    bool libc = false;
    for (const std::string& lib : needed) {
      libc = libc || lib.starts_with("libc.so");
#if QRV_LV2_STATIC_RUNTIME
      EXPECT_FALSE(lib.starts_with("libstdc++") || lib.starts_with("libgcc_s")) << binary << ": " << lib;
#endif
    }
    EXPECT_TRUE(libc) << binary;
  }
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
