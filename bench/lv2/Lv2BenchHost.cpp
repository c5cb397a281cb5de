// A small lilv timing host: runs each given LV2 plug-in over the same material, interleaved in rounds so
// that every plug-in sees the same machine conditions, and prints the median and the best per-frame
// cost, and the median's ratio to x42 darc's with the same channel count when darc is in the run.
// Unlike lv2bench it offers the options and buffer-size features most compressors require.
//
// Usage: qrv_lv2_bench [-b BLOCK] [-n FRAMES] [-r ROUNDS] [-s RATE] [-p programme|tone|silence]
//                      PLUGIN_URI[,SYMBOL=VALUE...]...
// Material: drum-like noise bursts, a kick and a 220 Hz sine at -12 dBFS peak (programme), the sine
// alone (tone) or digital silence. SYMBOL=VALUE sets a control port of that plug-in; the others keep
// their defaults. LV2_PATH decides which bundles are seen.

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

struct Urids {
  std::map<std::string, LV2_URID> ids;
  std::vector<std::string> uris;
  LV2_URID Map(const char* uri) {
    auto [it, inserted] = ids.try_emplace(uri, static_cast<LV2_URID>(uris.size() + 1));
    if (inserted) uris.emplace_back(uri);
    return it->second;
  }
};

struct Host {
  Urids urids;
  LV2_URID_Map map{&urids, [](LV2_URID_Map_Handle h, const char* u) { return static_cast<Urids*>(h)->Map(u); }};
  LV2_URID_Unmap unmap{&urids, [](LV2_URID_Unmap_Handle h, LV2_URID id) -> const char* {
                         auto* u = static_cast<Urids*>(h);
                         return id >= 1 && id <= u->uris.size() ? u->uris[id - 1].c_str() : nullptr;
                       }};
  float rate = 48000.0f;
  int32_t block = 256;
  std::vector<LV2_Options_Option> options;
  LV2_Feature mapF{LV2_URID__map, &map}, unmapF{LV2_URID__unmap, &unmap}, optionsF{LV2_OPTIONS__options, nullptr};
  LV2_Feature bounded{LV2_BUF_SIZE__boundedBlockLength, nullptr};
  LV2_Feature fixed{LV2_BUF_SIZE__fixedBlockLength, nullptr};
  const LV2_Feature* features[6] = {};

  void Init() {
    const LV2_URID atomFloat = urids.Map(LV2_ATOM__Float), atomInt = urids.Map(LV2_ATOM__Int);
    options = {
        {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_PARAMETERS__sampleRate), sizeof(float), atomFloat, &rate},
        {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__minBlockLength), sizeof(int32_t), atomInt, &block},
        {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), atomInt, &block},
        {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t), atomInt, &block},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    optionsF.data = options.data();
    const LV2_Feature* f[] = {&mapF, &unmapF, &optionsF, &bounded, &fixed, nullptr};
    std::copy(std::begin(f), std::end(f), features);
  }
};

enum class Material { kProgramme, kTone, kSilence };

// A kick on every beat (120 bpm), a noise burst on the off-beat, and a 220 Hz sine at -12 dBFS peak
// underneath, so that a compressor attacks and releases throughout.
std::vector<float> Make(Material material, std::size_t frames, float rate, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> white(-1.0, 1.0);
  std::vector<float> x(frames, 0.0f);
  if (material == Material::kSilence) return x;
  const double twoPi = 6.283185307179586;
  const auto beat = static_cast<std::size_t>(rate * 0.5f);
  for (std::size_t i = 0; i < frames; ++i) {
    double s = 0.2512 * std::sin(twoPi * 220.0 * static_cast<double>(i) / rate);
    if (material == Material::kProgramme) {
      const double t = static_cast<double>(i % beat) / rate;
      s += 0.6 * std::exp(-t * 25.0) * std::sin(twoPi * 50.0 * t);  // kick
      const std::size_t off = (i + beat / 2) % beat;
      s += 0.5 * std::exp(-static_cast<double>(off) / rate * 40.0) * white(gen);  // snare-like burst
    }
    x[i] = static_cast<float>(s);
  }
  return x;
}

struct AudioPort {
  uint32_t index;
  std::vector<float>* buffer;
};

struct AtomOut {
  LV2_Atom_Sequence* sequence;
  uint32_t capacity;
};

struct Plugin {
  std::string uri;
  std::vector<std::pair<std::string, float>> settings;  // control port symbol and value
  std::vector<AudioPort> audio;
  std::vector<AtomOut> atomOutputs;
  LilvInstance* instance = nullptr;
  std::vector<std::unique_ptr<std::vector<float>>> audioIn, audioOut;
  std::vector<float> controls;
  std::vector<std::vector<float>> cv;
  std::vector<std::vector<uint8_t>> atoms;
  std::vector<double> nsPerFrame;
};

// Points the audio ports at the stretch of the programme that starts at `offset` and gives every
// output sequence its full capacity again, as a host does before each block.
void NextBlock(Plugin& p, std::size_t offset) {
  for (const AudioPort& a : p.audio) lilv_instance_connect_port(p.instance, a.index, a.buffer->data() + offset);
  for (const AtomOut& a : p.atomOutputs) a.sequence->atom.size = a.capacity;
}

bool Prepare(LilvWorld* world, Host& host, Plugin& p, const std::vector<float>& left, const std::vector<float>& right) {
  LilvNode* uri = lilv_new_uri(world, p.uri.c_str());
  const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
  lilv_node_free(uri);
  if (plugin == nullptr) {
    std::fprintf(stderr, "%s: not found\n", p.uri.c_str());
    return false;
  }
  p.instance = lilv_plugin_instantiate(plugin, host.rate, host.features);
  if (p.instance == nullptr) {
    std::fprintf(stderr, "%s: instantiation failed\n", p.uri.c_str());
    return false;
  }
  LilvNode* audio = lilv_new_uri(world, LV2_CORE__AudioPort);
  LilvNode* control = lilv_new_uri(world, LV2_CORE__ControlPort);
  LilvNode* input = lilv_new_uri(world, LV2_CORE__InputPort);
  LilvNode* cvPort = lilv_new_uri(world, LV2_CORE__CVPort);
  LilvNode* atomPort = lilv_new_uri(world, LV2_ATOM__AtomPort);
  const uint32_t n = lilv_plugin_get_num_ports(plugin);
  p.controls.assign(n, 0.0f);
  lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, p.controls.data());
  bool ok = true;
  for (uint32_t i = 0; i < n; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    const bool in = lilv_port_is_a(plugin, port, input);
    if (lilv_port_is_a(plugin, port, audio)) {
      auto& bank = in ? p.audioIn : p.audioOut;
      const std::vector<float>& source = bank.size() % 2 == 0 ? left : right;
      bank.push_back(std::make_unique<std::vector<float>>(in ? source : std::vector<float>(source.size())));
      p.audio.push_back({i, bank.back().get()});
    } else if (lilv_port_is_a(plugin, port, control)) {
      if (std::isnan(p.controls[i])) p.controls[i] = 0.0f;
      const char* symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
      for (const auto& [name, value] : p.settings) {
        if (name == symbol) p.controls[i] = value;
      }
      lilv_instance_connect_port(p.instance, i, &p.controls[i]);
    } else if (lilv_port_is_a(plugin, port, cvPort)) {
      p.cv.emplace_back(static_cast<std::size_t>(host.block), 0.0f);
      lilv_instance_connect_port(p.instance, i, p.cv.back().data());
    } else if (lilv_port_is_a(plugin, port, atomPort)) {
      // An empty sequence in, room for one out.
      p.atoms.emplace_back(8192, 0);
      auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(p.atoms.back().data());
      seq->atom.type = host.urids.Map(LV2_ATOM__Sequence);
      seq->atom.size = in ? sizeof(LV2_Atom_Sequence_Body) : 8192 - sizeof(LV2_Atom);
      if (!in) p.atomOutputs.push_back({seq, seq->atom.size});
      lilv_instance_connect_port(p.instance, i, seq);
    } else {
      ok = false;
      std::fprintf(stderr, "%s: port %u of an unknown type\n", p.uri.c_str(), i);
    }
  }
  for (LilvNode* node : {audio, control, input, cvPort, atomPort}) lilv_node_free(node);
  if (ok) {
    NextBlock(p, 0);
    lilv_instance_activate(p.instance);
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  Host host;
  std::size_t frames = 480000;
  int rounds = 7;
  std::vector<std::string> uris;
  Material material = Material::kProgramme;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-p" && i + 1 < argc) {
      const std::string m = argv[++i];
      material = m == "tone" ? Material::kTone : m == "silence" ? Material::kSilence : Material::kProgramme;
    } else if ((a == "-b" || a == "-n" || a == "-r" || a == "-s") && i + 1 < argc) {
      const double v = std::atof(argv[++i]);
      if (a == "-b") host.block = static_cast<int32_t>(v);
      if (a == "-n") frames = static_cast<std::size_t>(v);
      if (a == "-r") rounds = static_cast<int>(v);
      if (a == "-s") host.rate = static_cast<float>(v);
    } else {
      uris.push_back(a);
    }
  }
  if (uris.empty() || host.block <= 0 || frames < static_cast<std::size_t>(host.block) || rounds <= 0) {
    std::fprintf(stderr,
                 "usage: qrv_lv2_bench [-b BLOCK] [-n FRAMES] [-r ROUNDS] [-s RATE] [-p programme|tone|silence] "
                 "PLUGIN_URI[,SYMBOL=VALUE...]...\n");
    return 2;
  }
  host.Init();
  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world);
  const std::vector<float> left = Make(material, frames, host.rate, 1), right = Make(material, frames, host.rate, 2);

  std::vector<std::unique_ptr<Plugin>> plugins;
  for (const std::string& arg : uris) {
    auto p = std::make_unique<Plugin>();
    std::size_t comma = arg.find(',');
    p->uri = arg.substr(0, comma);
    while (comma != std::string::npos) {
      const std::size_t next = arg.find(',', comma + 1);
      const std::string item = arg.substr(comma + 1, next == std::string::npos ? std::string::npos : next - comma - 1);
      const std::size_t eq = item.find('=');
      if (eq != std::string::npos) p->settings.emplace_back(item.substr(0, eq), std::stof(item.substr(eq + 1)));
      comma = next;
    }
    if (Prepare(world, host, *p, left, right)) plugins.push_back(std::move(p));
  }
  const auto block = static_cast<uint32_t>(host.block);
  for (int round = -1; round < rounds; ++round) {  // round -1 warms caches and envelopes up
    for (auto& p : plugins) {
      const auto start = std::chrono::steady_clock::now();
      for (std::size_t done = 0; done + block <= frames; done += block) {
        NextBlock(*p, done);
        lilv_instance_run(p->instance, block);
      }
      const auto end = std::chrono::steady_clock::now();
      if (round >= 0) {
        p->nsPerFrame.push_back(std::chrono::duration<double, std::nano>(end - start).count() /
                                static_cast<double>(frames / block * block));
      }
    }
  }
  const char* names[] = {"programme", "tone", "silence"};
  std::printf("# %s, block %d, %zu frames, %d rounds at %.0f Hz\n", names[static_cast<int>(material)], host.block,
              frames, rounds, host.rate);
  std::printf("%-45s %3s %12s %12s %9s\n", "plugin", "ch", "median ns/f", "best ns/f", "/ darc");
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  for (auto& p : plugins) {
    std::vector<double> v = p->nsPerFrame;
    std::sort(v.begin(), v.end());
    double darc = 0.0;
    for (auto& q : plugins) {
      if (q->uri.find("/darc#") != std::string::npos && q->audioIn.size() == p->audioIn.size()) {
        darc = median(q->nsPerFrame);
      }
    }
    std::printf("%-45s %3zu %12.2f %12.2f", p->uri.c_str(), p->audioIn.size(), v[v.size() / 2], v.front());
    if (darc > 0.0) {
      std::printf(" %9.2f\n", v[v.size() / 2] / darc);
    } else {
      std::printf(" %9s\n", "-");
    }
  }
  for (auto& p : plugins) {
    lilv_instance_deactivate(p->instance);
    lilv_instance_free(p->instance);
  }
  lilv_world_free(world);
  return 0;
}
