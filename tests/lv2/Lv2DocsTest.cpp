// The command lines the README and the demo show for lv2apply say what they select: every "-c ratio N"
// is followed by "ratio N is X:1", and X is the label the bundle gives that index.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "format/lv2/Lv2Uris.h"
#include "tests/lv2/LilvHost.h"

namespace qrv::lv2::test {
namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::map<int, std::string> RatioLabels() {
  World& w = World::Get();
  const LilvPlugin* plugin = w.Plugin(hostcontrols::Layout::kStereo);
  LilvNode* symbol = lilv_new_string(w.world(), "ratio");
  const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, symbol);
  lilv_node_free(symbol);
  std::map<int, std::string> labels;
  if (port == nullptr) return labels;
  LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
  LILV_FOREACH(scale_points, it, points) {
    const LilvScalePoint* sp = lilv_scale_points_get(points, it);
    labels[static_cast<int>(lilv_node_as_float(lilv_scale_point_get_value(sp)))] =
        lilv_node_as_string(lilv_scale_point_get_label(sp));
  }
  lilv_scale_points_free(points);
  return labels;
}

TEST(Lv2Docs, TheRatioIndicesInTheReadmeAndTheDemoSelectWhatTheySay) {
  const std::map<int, std::string> labels = RatioLabels();
  ASSERT_EQ(labels.size(), 7u);
  for (const char* file : {"README.md", "scripts/demo.sh"}) {
    SCOPED_TRACE(file);
    const std::string text = Slurp(std::string(QRV_SOURCE_DIR) + "/" + file);
    const std::regex use(R"(-c ratio (\d+)[\s\S]*?ratio (\d+) is\s+([0-9.]+:1))");
    int found = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), use); it != std::sregex_iterator(); ++it, ++found) {
      const int index = std::stoi((*it)[1]);
      EXPECT_EQ((*it)[2], (*it)[1]);
      ASSERT_TRUE(labels.count(index)) << index;
      EXPECT_EQ(labels.at(index), (*it)[3].str()) << "-c ratio " << index;
    }
    EXPECT_GE(found, 1);
  }
}

}  // namespace
}  // namespace qrv::lv2::test
