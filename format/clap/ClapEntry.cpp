// The module's one export, clap_entry: the plug-in factory with the mono and stereo plug-ins, and the C
// callbacks that forward to ClapPlugin.

#include <cstring>
#include <new>

#include "format/clap/ClapAbi.h"
#ifndef _WIN32
#include "format/clap/ClapGui.h"
#endif
#include "format/clap/ClapIds.h"
#include "format/clap/ClapPlugin.h"
#include "format/clap/ClapPresets.h"
#include "platform/ProductVersion.h"

namespace qrv::clap {
namespace {

ClapPlugin* Self(const clap_plugin_t* p) { return ClapPlugin::From(p); }

// --- plug-in ---

bool Init(const clap_plugin_t* p) { return Self(p)->Init(); }
void Destroy(const clap_plugin_t* p) { delete Self(p); }
bool Activate(const clap_plugin_t* p, double rate, uint32_t, uint32_t) {
  try {
    return Self(p)->Activate(rate);
  } catch (...) {
    return false;
  }
}
void Deactivate(const clap_plugin_t* p) { Self(p)->Deactivate(); }
bool StartProcessing(const clap_plugin_t*) { return true; }
void StopProcessing(const clap_plugin_t*) {}
void Reset(const clap_plugin_t* p) { Self(p)->Reset(); }
clap_process_status Process(const clap_plugin_t* p, const clap_process_t* process) {
  return process != nullptr ? Self(p)->Process(*process) : CLAP_PROCESS_ERROR;
}
const void* GetExtension(const clap_plugin_t* p, const char* id) { return id != nullptr ? Self(p)->Extension(id) : nullptr; }
void OnMainThread(const clap_plugin_t*) {}


// --- audio-ports ---

uint32_t AudioPortCount(const clap_plugin_t* p, bool) { return Self(p)->AudioPortCount(); }
bool AudioPortGet(const clap_plugin_t* p, uint32_t index, bool isInput, clap_audio_port_info_t* info) {
  return info != nullptr && Self(p)->AudioPortInfo(index, isInput, *info);
}
const clap_plugin_audio_ports_t kAudioPorts = {AudioPortCount, AudioPortGet};

// --- params ---

uint32_t ParamCount(const clap_plugin_t* p) {
  Self(p)->CheckMainThread("params.count");
  return kParamCount;
}
bool ParamGetInfo(const clap_plugin_t* p, uint32_t index, clap_param_info_t* info) {
  Self(p)->CheckMainThread("params.get_info");
  return info != nullptr && ParamInfo(index, *info);
}
bool ParamGetValue(const clap_plugin_t* p, clap_id id, double* value) {
  return value != nullptr && Self(p)->GetValue(id, *value);
}
bool ParamValueToText(const clap_plugin_t* p, clap_id id, double value, char* out, uint32_t capacity) {
  Self(p)->CheckMainThread("params.value_to_text");
  return ValueToText(id, value, out, capacity);
}
bool ParamTextToValue(const clap_plugin_t* p, clap_id id, const char* text, double* value) {
  Self(p)->CheckMainThread("params.text_to_value");
  return value != nullptr && TextToValue(id, text, *value);
}
void ParamFlush(const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
  Self(p)->Flush(in, out);
}
const clap_plugin_params_t kParams = {ParamCount, ParamGetInfo, ParamGetValue, ParamValueToText, ParamTextToValue,
                                      ParamFlush};

// --- state ---

bool StateSave(const clap_plugin_t* p, const clap_ostream_t* stream) {
  try {
    return Self(p)->SaveState(stream);
  } catch (...) {
    return false;
  }
}
bool StateLoad(const clap_plugin_t* p, const clap_istream_t* stream) {
  try {
    return Self(p)->LoadState(stream);
  } catch (...) {
    return false;
  }
}
const clap_plugin_state_t kState = {StateSave, StateLoad};

// --- latency, tail, render ---

uint32_t Latency(const clap_plugin_t* p) {
  Self(p)->CheckMainThread("latency.get");
  return Self(p)->Latency();
}
const clap_plugin_latency_t kLatency = {Latency};
uint32_t NoTail(const clap_plugin_t*) { return 0; }
const clap_plugin_tail_t kTail = {NoTail};
// The engine renders the same in real time and offline; it is cheap enough for either.
bool NoHardRealtimeRequirement(const clap_plugin_t*) { return false; }
bool SetRenderMode(const clap_plugin_t*, clap_plugin_render_mode mode) {
  return mode == CLAP_RENDER_REALTIME || mode == CLAP_RENDER_OFFLINE;
}
const clap_plugin_render_t kRender = {NoHardRealtimeRequirement, SetRenderMode};

// --- preset-load ---

bool PresetFromLocation(const clap_plugin_t* p, uint32_t kind, const char* location, const char* key) {
  try {
    return Self(p)->LoadPreset(kind, location, key);
  } catch (...) {
    return false;
  }
}
const clap_plugin_preset_load_t kPresetLoad = {PresetFromLocation};

// --- descriptors and factory ---

const char* const kFeaturesMono[] = {"audio-effect", "compressor", "mono", nullptr};
const char* const kFeaturesStereo[] = {"audio-effect", "compressor", "stereo", nullptr};

const clap_plugin_descriptor_t kDescriptors[2] = {
    {kClapVersion, kPluginIdMono, kPluginNameMono, kVendor, kUrl, kUrl, kUrl, QRV_VERSION, kDescription,
     kFeaturesMono},
    {kClapVersion, kPluginIdStereo, kPluginNameStereo, kVendor, kUrl, kUrl, kUrl, QRV_VERSION, kDescription,
     kFeaturesStereo},
};

uint32_t PluginCount(const clap_plugin_factory_t*) { return 2; }
const clap_plugin_descriptor_t* PluginDescriptor(const clap_plugin_factory_t*, uint32_t index) {
  return index < 2 ? &kDescriptors[index] : nullptr;
}

const clap_plugin_t* CreatePlugin(const clap_plugin_factory_t*, const clap_host_t* host, const char* id) {
  if (host == nullptr || id == nullptr || !clap_version_is_compatible(host->clap_version)) return nullptr;
  for (int i = 0; i < 2; ++i) {
    if (std::strcmp(id, kDescriptors[i].id) != 0) continue;
    const Layout layout = i == 0 ? Layout::kMono : Layout::kStereo;
    // Nothing may cross the C ABI: a failed allocation in the constructor is a refusal.
    ClapPlugin* plugin = nullptr;
    try {
      plugin = new ClapPlugin(layout, &kDescriptors[i], host);
    } catch (...) {
      return nullptr;
    }
    clap_plugin_t* c = const_cast<clap_plugin_t*>(plugin->clap());
    c->init = Init;
    c->destroy = Destroy;
    c->activate = Activate;
    c->deactivate = Deactivate;
    c->start_processing = StartProcessing;
    c->stop_processing = StopProcessing;
    c->reset = Reset;
    c->process = Process;
    c->get_extension = GetExtension;
    c->on_main_thread = OnMainThread;
    return c;
  }
  return nullptr;
}

const clap_plugin_factory_t kFactory = {PluginCount, PluginDescriptor, CreatePlugin};

bool EntryInit(const char* path) { return path != nullptr; }
void EntryDeinit() {}
const void* EntryFactory(const char* id) {
  if (id == nullptr) return nullptr;
  if (std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0) return &kFactory;
  // Hosts of the draft era ask by the draft's id; the layout is the same.
  if (std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 || std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT) == 0)
    return PresetDiscoveryFactory();
  return nullptr;
}

}  // namespace

const void* ClapPlugin::Extension(const char* id) const {
  if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &kAudioPorts;
  if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &kParams;
  if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &kState;
  if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &kLatency;
  if (std::strcmp(id, CLAP_EXT_TAIL) == 0) return &kTail;
  if (std::strcmp(id, CLAP_EXT_RENDER) == 0) return &kRender;
  if (std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0 || std::strcmp(id, CLAP_EXT_PRESET_LOAD_COMPAT) == 0) return &kPresetLoad;
#ifdef _WIN32
  return nullptr;  // no editor on Windows: hosts show their generic controls
#else
  return GuiExtension(id);
#endif
}

}  // namespace qrv::clap

#ifdef _WIN32
extern "C" __declspec(dllexport) const clap_plugin_entry_t clap_entry = {
#else
extern "C" __attribute__((visibility("default"))) const clap_plugin_entry_t clap_entry = {
#endif
    kClapVersion, qrv::clap::EntryInit, qrv::clap::EntryDeinit, qrv::clap::EntryFactory};
