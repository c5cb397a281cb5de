// The include rules of the source tree: a layer includes only itself and the layers listed before it,
// and only the back-end and the editor window reach the back-end's resource and pop-up headers (the rest
// of the GUI and the bindings go through the graphics engine's interface). The bindings in format/ are
// siblings: none includes another, and none states a product fact of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Include {
  std::string file;  // relative to the source root
  int line;
  std::string target;  // as written, resolved against the file's folder when relative
};

std::vector<std::string> Layers() {
  std::vector<std::string> layers;
  std::stringstream list(QRV_LAYER_LIST);
  for (std::string layer; std::getline(list, layer, ',');) layers.push_back(layer);
  return layers;
}

// The index of the layer a path lies in (the longest listed prefix), or -1.
int LayerOf(const std::vector<std::string>& layers, const std::string& path) {
  int best = -1;
  std::size_t bestLength = 0;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const std::string& l = layers[i];
    if ((path == l || path.rfind(l + "/", 0) == 0) && l.size() > bestLength) {
      best = static_cast<int>(i);
      bestLength = l.size();
    }
  }
  return best;
}

std::vector<Include> IncludesUnder(const std::string& folder) {
  static const std::regex kInclude(R"(^\s*#\s*include\s*"([^"]+)\")");
  const fs::path root(QRV_SOURCE_DIR);
  std::vector<Include> found;
  for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (ext != ".h" && ext != ".cpp" && ext != ".c" && ext != ".in") continue;
    const std::string file = fs::relative(entry.path(), root).generic_string();
    std::ifstream in(entry.path());
    std::string text;
    for (int n = 1; std::getline(in, text); ++n) {
      std::smatch m;
      if (!std::regex_search(text, m, kInclude)) continue;
      std::string target = m[1];
      // Project headers are named from the source root; anything else is relative to the file.
      if (!fs::exists(root / target) && fs::exists(entry.path().parent_path() / target))
        target = fs::relative(fs::weakly_canonical(entry.path().parent_path() / target), root).generic_string();
      found.push_back({file, n, target});
    }
  }
  return found;
}

TEST(LayerRules, NoLayerIncludesALayerListedAfterIt) {
  const auto layers = Layers();
  ASSERT_GT(layers.size(), 10u) << "the layer list did not reach the test: " << QRV_LAYER_LIST;
  std::size_t checked = 0;
  std::vector<std::string> upward;
  for (const std::string& layer : layers) {
    const int own = LayerOf(layers, layer);
    for (const Include& inc : IncludesUnder(layer)) {
      if (LayerOf(layers, inc.file) != own) continue;  // a nested layer reports for itself
      ++checked;
      const int target = LayerOf(layers, inc.target);
      if (target > own)
        upward.push_back(inc.file + ":" + std::to_string(inc.line) + " (" + layer + ") includes " + inc.target +
                         " (" + layers[static_cast<std::size_t>(target)] + ")");
    }
  }
  EXPECT_GT(checked, 300u);
  std::string list;
  for (const auto& u : upward) list += "\n  " + u;
  EXPECT_TRUE(upward.empty()) << "includes pointing up the layer list:" << list;
}

TEST(LayerRules, OnlyTheBackEndAndTheEditorWindowReachTheBackEndsResourcesAndPopUps) {
  const auto layers = Layers();
  std::vector<std::string> offenders;
  for (const std::string& layer : layers) {
    if (layer.rfind("apps/", 0) == 0) continue;  // the tools set up what they draw
    for (const Include& inc : IncludesUnder(layer)) {
      if (inc.target != "gui/backend/Resources.h" && inc.target != "gui/backend/PopupLayer.h") continue;
      if (inc.file.rfind("gui/backend/", 0) == 0 || inc.file.rfind("gui/editor/", 0) == 0) continue;
      offenders.push_back(inc.file + ":" + std::to_string(inc.line) + " includes " + inc.target);
    }
  }
  std::string list;
  for (const auto& o : offenders) list += "\n  " + o;
  EXPECT_TRUE(offenders.empty()) << "outside gui/backend and gui/editor:" << list;
}

TEST(LayerRules, TheProductPanelIncludesNothingOfTheBackEnd) {
  // The panel is drawn through the graphics engine; the layout facts it shares with the artwork live in
  // gui/engine. The back-end is listed before product/, so the upward rule alone would let this pass.
  std::size_t checked = 0;
  std::vector<std::string> offenders;
  for (const Include& inc : IncludesUnder("product")) {
    ++checked;
    if (inc.target.rfind("gui/backend/", 0) == 0)
      offenders.push_back(inc.file + ":" + std::to_string(inc.line) + " includes " + inc.target);
  }
  EXPECT_GT(checked, 5u);
  std::string list;
  for (const auto& o : offenders) list += "\n  " + o;
  EXPECT_TRUE(offenders.empty()) << "product/ reaches into gui/backend:" << list;
}

TEST(LayerRules, OnlyTheJackBindingTalksToJack) {
  // The host API stays in format/: the command line reaches JACK through format/jack alone.
  static const std::regex kJackInclude(R"(^\s*#\s*include\s*<jack/)");
  const fs::path root(QRV_SOURCE_DIR);
  std::size_t inBinding = 0;
  std::vector<std::string> offenders;
  for (const std::string& layer : Layers()) {
    for (const auto& entry : fs::recursive_directory_iterator(root / layer)) {
      const std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
      const std::string file = fs::relative(entry.path(), root).generic_string();
      std::ifstream in(entry.path());
      std::string text;
      for (int n = 1; std::getline(in, text); ++n) {
        if (!std::regex_search(text, kJackInclude)) continue;
        if (file.rfind("format/jack/", 0) == 0) {
          ++inBinding;
        } else {
          offenders.push_back(file + ":" + std::to_string(n));
        }
      }
    }
  }
  EXPECT_GT(inBinding, 0u) << "format/jack includes no JACK header: the rule checks nothing";
  std::string list;
  for (const auto& o : offenders) list += "\n  " + o;
  EXPECT_TRUE(offenders.empty()) << "JACK headers outside format/jack:" << list;
}

// The binding a file under format/ belongs to: its first folder there (AAX's SDK, wrappers and host
// simulator are one binding), or empty outside format/.
std::string BindingOf(const std::string& path) {
  if (path.rfind("format/", 0) != 0) return {};
  const std::size_t start = std::string("format/").size();
  return path.substr(start, path.find('/', start) - start);
}

TEST(LayerRules, NoBindingIncludesAnother) {
  std::size_t checked = 0;
  std::vector<std::string> offenders;
  for (const Include& inc : IncludesUnder("format")) {
    const std::string target = BindingOf(inc.target);
    if (target.empty()) continue;
    ++checked;
    if (target != BindingOf(inc.file))
      offenders.push_back(inc.file + ":" + std::to_string(inc.line) + " includes " + inc.target);
  }
  EXPECT_GT(checked, 50u);
  std::string list;
  for (const auto& o : offenders) list += "\n  " + o;
  EXPECT_TRUE(offenders.empty()) << "a binding includes another binding:" << list;
}

// One source line without its comments: `code` keeps string literals' contents, `bare` blanks them.
struct CodeLine {
  std::string file;
  int line;
  std::string code;
  std::string bare;
  std::vector<std::string> strings;
};

std::vector<CodeLine> BindingCode() {
  const fs::path root(QRV_SOURCE_DIR);
  std::vector<CodeLine> lines;
  for (const auto& entry : fs::recursive_directory_iterator(root / "format")) {
    const std::string ext = entry.path().extension().string();
    if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".c" && ext != ".in")) continue;
    const std::string file = fs::relative(entry.path(), root).generic_string();
    // The SDK and the host simulator stand in for the host's side, which names the product as it likes.
    if (file.rfind("format/aax/sdk/", 0) == 0 || file.rfind("format/aax/host/", 0) == 0) continue;
    std::ifstream in(entry.path());
    bool inBlock = false;
    std::string text;
    for (int n = 1; std::getline(in, text); ++n) {
      CodeLine out{file, n, {}, {}, {}};
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (inBlock) {
          if (text.compare(i, 2, "*/") == 0) {
            inBlock = false;
            ++i;
          }
          continue;
        }
        if (text.compare(i, 2, "//") == 0) break;
        if (text.compare(i, 2, "/*") == 0) {
          inBlock = true;
          ++i;
          continue;
        }
        if (text[i] == '"' || text[i] == '\'') {
          const char quote = text[i];
          std::string literal;
          for (++i; i < text.size() && text[i] != quote; ++i) {
            if (text[i] == '\\' && i + 1 < text.size()) literal += text[i++];
            literal += text[i];
          }
          out.code += quote + literal + quote;
          out.bare += std::string(2, quote);
          if (quote == '"') out.strings.push_back(literal);
          continue;
        }
        out.code += text[i];
        out.bare += text[i];
      }
      lines.push_back(std::move(out));
    }
  }
  return lines;
}

std::string ReadSource(const std::string& path) {
  std::ifstream in(fs::path(QRV_SOURCE_DIR) / path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Captured(const std::string& text, const std::string& pattern) {
  std::smatch m;
  if (!std::regex_search(text, m, std::regex(pattern))) return {};
  return m[1];
}

// The numeric literals of a line (suffixes dropped), with whether each has a decimal point.
std::vector<std::pair<double, bool>> Numbers(const std::string& bare) {
  static const std::regex kNumber(R"((^|[^\w.])(\d+\.\d*|\.\d+|\d+)(?:[eE][+-]?\d+)?[fFlLuU]*\b)");
  std::vector<std::pair<double, bool>> found;
  for (auto it = std::sregex_iterator(bare.begin(), bare.end(), kNumber); it != std::sregex_iterator(); ++it) {
    const std::string n = (*it)[2];
    found.emplace_back(std::stod(n), n.find('.') != std::string::npos);
  }
  return found;
}

bool Mentions(const std::string& bare, const std::regex& words) { return std::regex_search(bare, words); }

TEST(LayerRules, NoBindingStatesAProductFactOfItsOwn) {
  // Identity, version, zoom limits, idle period and the window size rule have one home each below
  // format/; a binding that writes one out would drift from the others when it changes.
  const std::string facts = ReadSource("platform/ProductFacts.h");
  const std::vector<std::string> identity = {Captured(facts, R"(#define QRV_PRODUCT_NAME "([^"]+)\")"),
                                             Captured(facts, R"(#define QRV_PRODUCT_MAKER "([^"]+)\")"),
                                             Captured(facts, R"(#define QRV_PRODUCT_DOMAIN "([^"]+)\")")};
  const std::string version =
      Captured(ReadSource("CMakeLists.txt"), R"(project\(\w+ VERSION (\d+\.\d+\.\d+))");
  const std::string minZoom = Captured(facts, R"(kMinZoom = ([0-9.]+);)");
  const std::string maxZoom = Captured(facts, R"(kMaxZoom = ([0-9.]+);)");
  const std::string idle = Captured(facts, R"(kIdlePeriodMs = (\d+);)");
  for (const std::string& fact : identity) ASSERT_FALSE(fact.empty()) << "platform/ProductFacts.h changed shape";
  ASSERT_FALSE(version.empty() || minZoom.empty() || maxZoom.empty() || idle.empty())
      << "the facts' homes changed shape";

  static const std::regex kZoomWords(R"(zoom|Zoom|ZOOM|scale|Scale)");
  static const std::regex kIdleWords(R"(idle|Idle|timer|Timer|tick|Tick|period|Period|interval|milliseconds)");
  static const std::regex kPanelSize(R"(\bk(Editor|Panel)(Width|Height)\b|\bkBarHeight\b|\bkWindowHeight\b)");
  std::size_t lines = 0;
  std::vector<std::string> offenders;
  for (const CodeLine& l : BindingCode()) {
    ++lines;
    const std::string where = l.file + ":" + std::to_string(l.line) + ": ";
    for (const std::string& s : l.strings) {
      for (const std::string& fact : identity) {
        if (s.find(fact) != std::string::npos) offenders.push_back(where + "the product's \"" + fact + "\"");
      }
      if (s.find(version) != std::string::npos) offenders.push_back(where + "the version " + version);
    }
    const auto numbers = Numbers(l.bare);
    if (Mentions(l.bare, kZoomWords)) {
      for (const auto& [value, point] : numbers) {
        if (point && (value == std::stod(minZoom) || value == std::stod(maxZoom)))
          offenders.push_back(where + "a zoom limit " + std::to_string(value));
      }
    }
    if (Mentions(l.bare, kIdleWords)) {
      for (const auto& [value, point] : numbers) {
        if (!point && value == std::stod(idle)) offenders.push_back(where + "the idle period " + idle + " ms");
      }
    }
    if (Mentions(l.bare, kPanelSize) && l.bare.find("WindowPixelSize") == std::string::npos)
      offenders.push_back(where + "the window size worked out beside layout::WindowPixelSize");
  }
  EXPECT_GT(lines, 3000u);
  std::string list;
  for (const auto& o : offenders) list += "\n  " + o;
  EXPECT_TRUE(offenders.empty()) << "product facts written in a binding:" << list;
}

TEST(LayerRules, EveryFolderWithABuildIsALayer) {
  // A folder left out of the list would escape the rules above.
  const auto layers = Layers();
  const fs::path root(QRV_SOURCE_DIR);
  std::vector<std::string> missing;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = fs::relative(it->path(), root).generic_string();
    const std::string top = rel.substr(0, rel.find('/'));
    if (top == "build" || top == "tests" || top == "bench" || top == "fuzz" || top == "docs" ||
        top.rfind('.', 0) == 0) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_regular_file() && it->path().filename() == "CMakeLists.txt") {
      const std::string folder = fs::relative(it->path().parent_path(), root).generic_string();
      if (folder != "." && std::find(layers.begin(), layers.end(), folder) == layers.end())
        missing.push_back(folder);
    }
  }
  std::string list;
  for (const auto& m : missing) list += "\n  " + m;
  EXPECT_TRUE(missing.empty()) << "folders with a CMakeLists.txt outside the layer list:" << list;
}

}  // namespace
