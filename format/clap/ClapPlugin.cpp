#include "format/clap/ClapPlugin.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef _WIN32
// No editor on Windows: the gui extension is never offered, so editor_ stays empty.
namespace qrv::clap {
class ClapEditor {};
}  // namespace qrv::clap
#else
#include "format/clap/ClapGui.h"
#endif
#include "format/clap/ClapPresets.h"
#include "platform/ProductFacts.h"
#include "presets/PresetManager.h"

namespace qrv::clap {
namespace {

bool IsParamValue(const clap_event_header_t& e) {
  return e.space_id == CLAP_CORE_EVENT_SPACE_ID && e.type == CLAP_EVENT_PARAM_VALUE &&
         e.size >= sizeof(clap_event_param_value_t);
}

}  // namespace

ClapPlugin::ClapPlugin(Layout layout, const clap_plugin_descriptor_t* descriptor, const clap_host_t* host)
    : host_(host), layout_(layout), core_(ChannelCount(layout)) {
  plugin_ = {};
  plugin_.desc = descriptor;
  plugin_.plugin_data = this;
}

void ClapPlugin::EditGesture(clap_id id, bool begin) {
  const uint32_t w = editsWritten_.load(std::memory_order_relaxed);
  if (w - editsRead_.load(std::memory_order_acquire) >= kEditRing) return;  // the host is not flushing
  edits_[w % kEditRing] = {begin ? CLAP_EVENT_PARAM_GESTURE_BEGIN : CLAP_EVENT_PARAM_GESTURE_END, id, 0.0};
  editsWritten_.store(w + 1, std::memory_order_release);
}

void ClapPlugin::EditValue(unsigned slot, double normalised) {
  const hostcontrols::ControlPort* port = hostcontrols::FindControlPort(slot);
  if (port == nullptr) return;
  core_.SetValue(slot, normalised);
  const uint32_t w = editsWritten_.load(std::memory_order_relaxed);
  if (w - editsRead_.load(std::memory_order_acquire) < kEditRing) {
    const double plain = hostcontrols::FromNormalised(*port, normalised);
    edits_[w % kEditRing] = {CLAP_EVENT_PARAM_VALUE, static_cast<clap_id>(port->port), plain};
    editsWritten_.store(w + 1, std::memory_order_release);
  }
  if (hostParams_ != nullptr && hostParams_->request_flush != nullptr) hostParams_->request_flush(host_);
}

void ClapPlugin::EditHighQuality(bool on) {
  SetHighQuality(on);
  const uint32_t w = editsWritten_.load(std::memory_order_relaxed);
  if (w - editsRead_.load(std::memory_order_acquire) < kEditRing) {
    edits_[w % kEditRing] = {CLAP_EVENT_PARAM_VALUE, kParamHighQuality, on ? 1.0 : 0.0};
    editsWritten_.store(w + 1, std::memory_order_release);
  }
  if (hostParams_ != nullptr && hostParams_->request_flush != nullptr) hostParams_->request_flush(host_);
}

void ClapPlugin::SendEdits(const clap_output_events_t* out) {
  const uint32_t written = editsWritten_.load(std::memory_order_acquire);
  uint32_t read = editsRead_.load(std::memory_order_relaxed);
  for (; read != written; ++read) {
    const Edit& e = edits_[read % kEditRing];
    if (e.type == CLAP_EVENT_PARAM_VALUE) {
      if (out != nullptr && out->try_push != nullptr) {
        clap_event_param_value_t v{};
        v.header = {sizeof v, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        v.param_id = e.id;
        v.note_id = -1;
        v.port_index = -1;
        v.channel = -1;
        v.key = -1;
        v.value = e.value;
        out->try_push(out, &v.header);
      }
    } else if (out != nullptr && out->try_push != nullptr) {
      clap_event_param_gesture_t g{};
      g.header = {sizeof g, 0, CLAP_CORE_EVENT_SPACE_ID, e.type, 0};
      g.param_id = e.id;
      out->try_push(out, &g.header);
    }
  }
  editsRead_.store(read, std::memory_order_release);
}

ClapPlugin::~ClapPlugin() = default;

bool ClapPlugin::Init() {
  if (host_ != nullptr && host_->get_extension != nullptr) {
    hostLog_ = static_cast<const clap_host_log_t*>(host_->get_extension(host_, CLAP_EXT_LOG));
    hostThreadCheck_ = static_cast<const clap_host_thread_check_t*>(host_->get_extension(host_, CLAP_EXT_THREAD_CHECK));
    hostParams_ = static_cast<const clap_host_params_t*>(host_->get_extension(host_, CLAP_EXT_PARAMS));
    hostLatency_ = static_cast<const clap_host_latency_t*>(host_->get_extension(host_, CLAP_EXT_LATENCY));
    hostPresetLoad_ = static_cast<const clap_host_preset_load_t*>(host_->get_extension(host_, CLAP_EXT_PRESET_LOAD));
    if (hostPresetLoad_ == nullptr) {
      hostPresetLoad_ =
          static_cast<const clap_host_preset_load_t*>(host_->get_extension(host_, CLAP_EXT_PRESET_LOAD_COMPAT));
    }
  }
  CheckMainThread("init");
  return true;
}

void ClapPlugin::Log(clap_log_severity severity, const char* message) const {
  if (hostLog_ != nullptr && hostLog_->log != nullptr) {
    hostLog_->log(host_, severity, message);
  } else {
    std::fprintf(stderr, QRV_PRODUCT_NAME ": %s\n", message);
  }
}

void ClapPlugin::CheckMainThread(const char* function) const {
  if (hostThreadCheck_ == nullptr || hostThreadCheck_->is_main_thread == nullptr) return;
  if (hostThreadCheck_->is_main_thread(host_)) return;
  char message[160];
  std::snprintf(message, sizeof message, "%s called outside the main thread", function);
  Log(CLAP_LOG_HOST_MISBEHAVING, message);
}

bool ClapPlugin::Activate(double sampleRate) {
  CheckMainThread("activate");
  // The engine's filters are defined from 22.05 to 192 kHz; elsewhere it would run at a clamped rate and
  // sound wrong, so the host is told rather than given a plug-in that pretends.
  // The first block then hands every value to the engine and resets it, so that values set before
  // processing (flush, state) apply from the first sample without a glide.
  if (!core_.SetSampleRate(sampleRate)) {
    char message[120];
    std::snprintf(message, sizeof message, "cannot run at %g Hz: the engine runs from 22050 to 192000 Hz", sampleRate);
    Log(CLAP_LOG_ERROR, message);
    return false;
  }
  // High quality switched while inactive (a state, a host's value): the host hears of the new latency
  // while it activates.
  if (const uint32_t latency = core_.Latency(); latency != activatedLatency_) {
    activatedLatency_ = latency;
    if (hostLatency_ != nullptr && hostLatency_->changed != nullptr) hostLatency_->changed(host_);
  }
  active_.store(true, std::memory_order_release);
  return true;
}

void ClapPlugin::Deactivate() {
  CheckMainThread("deactivate");
  active_.store(false, std::memory_order_release);
}

void ClapPlugin::SetHighQuality(bool on) {
  if (core_.highQuality() == on) return;
  core_.SetHighQuality(on);
  // The latency may change only while inactive; request_restart is callable from any thread.
  if (active_.load(std::memory_order_acquire) && host_ != nullptr && host_->request_restart != nullptr) {
    host_->request_restart(host_);
  }
}

void ClapPlugin::ApplyEvent(const clap_event_header_t& event, bool inBlock) {
  if (!IsParamValue(event)) return;
  const auto& e = reinterpret_cast<const clap_event_param_value_t&>(event);
  const std::optional<double> value = Sanitised(e.param_id, e.value);
  if (!value) return;  // unknown id or NaN: ignored
  if (e.param_id == kParamHighQuality) {
    SetHighQuality(*value >= 0.5);
    return;
  }
  const hostcontrols::ControlPort* port = ControlOf(e.param_id);
  if (port == nullptr) {
    core_.SetBypass(*value >= 0.5);
    return;
  }
  const double normalised = ToNormalised(*port, *value);
  if (inBlock) {
    core_.ApplyValueNow(port->slot, normalised);
  } else {
    core_.SetValue(port->slot, normalised);  // the engine takes it at the next block
  }
}

void ClapPlugin::ProcessFrames(const clap_process_t& process, uint32_t offset, uint32_t count) {
  const clap_audio_buffer_t& in = process.audio_inputs[0];
  const clap_audio_buffer_t& out = process.audio_outputs[0];
  const bool stereo = layout_ == Layout::kStereo;
  const float* ip[2] = {in.data32[0] + offset, stereo ? in.data32[1] + offset : nullptr};
  float* op[2] = {out.data32[0] + offset, stereo ? out.data32[1] + offset : nullptr};
  core_.ProcessFrames(ip, op, count);
}

clap_process_status ClapPlugin::Process(const clap_process_t& process) {
  // Values set since the last block (edits, a state loaded while running) reach the engine as any change.
  core_.BeginBlock();
  SendEdits(process.out_events);

  const uint32_t frames = process.frames_count;
  const uint32_t channels = ChannelCount(layout_);
  bool audio = process.audio_inputs_count >= 1 && process.audio_outputs_count >= 1 &&
               process.audio_inputs != nullptr && process.audio_outputs != nullptr;
  if (audio) {
    const clap_audio_buffer_t& in = process.audio_inputs[0];
    const clap_audio_buffer_t& out = process.audio_outputs[0];
    audio = in.channel_count == channels && out.channel_count == channels && in.data32 != nullptr &&
            out.data32 != nullptr;
    for (uint32_t ch = 0; audio && ch < channels; ++ch) {
      audio = in.data32[ch] != nullptr && out.data32[ch] != nullptr;
    }
  }

  // Parameter events split the block at their sample offsets.
  uint32_t position = 0;
  const clap_input_events_t* events = process.in_events;
  const uint32_t count =
      events != nullptr && events->size != nullptr && events->get != nullptr ? events->size(events) : 0;
  for (uint32_t i = 0; i < count; ++i) {
    const clap_event_header_t* event = events->get(events, i);
    if (event == nullptr) continue;
    const uint32_t at = std::min(event->time, frames);
    if (at > position && audio) {
      ProcessFrames(process, position, at - position);
      position = at;
    }
    ApplyEvent(*event, true);
  }
  if (!audio) return frames == 0 ? CLAP_PROCESS_CONTINUE : CLAP_PROCESS_ERROR;
  if (position < frames) ProcessFrames(process, position, frames - position);
  core_.EndBlock();
  return CLAP_PROCESS_CONTINUE;
}

bool ClapPlugin::GetValue(clap_id id, double& value) const {
  CheckMainThread("params.get_value");
  if (!IsKnownParam(id)) return false;
  if (const hostcontrols::ControlPort* port = ControlOf(id)) {
    value = hostcontrols::FromNormalised(*port, core_.Value(port->slot));
  } else if (id == kParamHighQuality) {
    value = core_.highQuality() ? 1.0 : 0.0;
  } else {
    value = core_.bypassed() ? 1.0 : 0.0;
  }
  return true;
}

void ClapPlugin::Flush(const clap_input_events_t* in, const clap_output_events_t* out) {
  SendEdits(out);
  if (in == nullptr || in->size == nullptr || in->get == nullptr) return;
  // The values reach the engine at the next block; after an activation, the first block applies them
  // without a glide.
  const uint32_t count = in->size(in);
  for (uint32_t i = 0; i < count; ++i) {
    if (const clap_event_header_t* event = in->get(in, i)) ApplyEvent(*event, false);
  }
}

bool ClapPlugin::SaveState(const clap_ostream_t* stream) {
  CheckMainThread("state.save");
  if (stream == nullptr || stream->write == nullptr) return false;
  std::vector<uint8_t> bytes;
  if (!state().SaveStream(bytes, core_.StateFlags())) return false;
  // A stream may take fewer bytes than offered.
  for (std::size_t done = 0; done < bytes.size();) {
    const int64_t n = stream->write(stream, bytes.data() + done, bytes.size() - done);
    if (n <= 0 || static_cast<uint64_t>(n) > bytes.size() - done) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool ClapPlugin::LoadState(const clap_istream_t* stream) {
  CheckMainThread("state.load");
  if (stream == nullptr || stream->read == nullptr) return false;
  std::vector<uint8_t> bytes;
  uint8_t buffer[4096];
  for (;;) {
    const int64_t n = stream->read(stream, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 || static_cast<uint64_t>(n) > sizeof buffer) return false;
    if (bytes.size() + static_cast<std::size_t>(n) > kStateMaxSize) {
      Log(CLAP_LOG_ERROR, "state refused: longer than any state of ours");
      return false;
    }
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  uint32_t flags = 0;
  if (!state().LoadStream(bytes, flags)) {
    Log(CLAP_LOG_ERROR, InstancePresets::StreamIsNewer(bytes)
                            ? "state refused: written by a newer version of " QRV_PRODUCT_NAME
                            : "state refused: not a complete state of this plug-in");
    return false;
  }
  state().PublishValues();
  core_.SetBypass((flags & kStateFlagBypass) != 0);
  SetHighQuality((flags & kStateFlagHighQuality) != 0);  // an older state: off
  loads_.fetch_add(1, std::memory_order_release);
  if (hostParams_ != nullptr && hostParams_->rescan != nullptr) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
  return true;
}

bool ClapPlugin::LoadPreset(uint32_t kind, const char* location, const char* loadKey) {
  CheckMainThread("preset_load.from_location");
  std::string message;
  const std::optional<LocatedPreset> preset = PresetAt(kind, location, loadKey, message);
  if (!preset || (preset->factoryIndex >= 0 && !state().LoadFactoryPreset(preset->factoryIndex))) {
    if (preset) message = "the preset library has no such factory preset";
    Log(CLAP_LOG_ERROR, ("preset not loaded: " + message).c_str());
    if (hostPresetLoad_ != nullptr && hostPresetLoad_->on_error != nullptr) {
      hostPresetLoad_->on_error(host_, kind, location, loadKey, 0, message.c_str());
    }
    return false;
  }
  // As the bar loads it: the bar shows the preset by number and name, unmodified.
  if (preset->factoryIndex < 0) state().LoadPresetFile(preset->file, preset->record);
  state().PublishValues();
  loads_.fetch_add(1, std::memory_order_release);
  if (hostParams_ != nullptr && hostParams_->rescan != nullptr) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
  if (hostPresetLoad_ != nullptr && hostPresetLoad_->loaded != nullptr) {
    hostPresetLoad_->loaded(host_, kind, location, loadKey);
  }
  return true;
}

bool ClapPlugin::AudioPortInfo(uint32_t index, bool isInput, clap_audio_port_info_t& info) const {
  CheckMainThread("audio_ports.get");
  if (index != 0) return false;
  info = clap_audio_port_info_t{};
  info.id = 0;
  std::snprintf(info.name, sizeof info.name, "%s", isInput ? "Input" : "Output");
  info.flags = CLAP_AUDIO_PORT_IS_MAIN;
  info.channel_count = ChannelCount(layout_);
  info.port_type = layout_ == Layout::kStereo ? CLAP_PORT_STEREO : CLAP_PORT_MONO;
  info.in_place_pair = 0;  // the input and output of port 0 may share buffers
  return true;
}

}  // namespace qrv::clap
