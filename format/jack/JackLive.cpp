#include "format/jack/JackLive.h"

#include <jack/jack.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include "controller/InstancePresets.h"
#include "dsp/warmGlowEffect.h"
#include "format/jack/LiveEditor.h"
#include "format/jack/LiveEngine.h"
#include "format/jack/LiveState.h"
#include "platform/Environment.h"
#include "platform/ProductFacts.h"
#include "presets/PresetManager.h"

namespace qrv::jack {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(20);

// What JACK's threads tell the main loop. The callbacks only store here.
struct ClientSide {
  LiveEngine* engine = nullptr;
  std::array<jack_port_t*, 2> in{};
  std::array<jack_port_t*, 2> out{};
  // Set once everything above is in place, before activation: libjack's own hand-over to its threads is
  // invisible to the thread sanitizer, this one is not.
  std::atomic<bool> ready{false};
  std::atomic<uint32_t> xruns{0};
  std::atomic<bool> shutdown{false};
  char reason[256] = {};
};

int OnProcess(jack_nframes_t frames, void* arg) {
  auto& side = *static_cast<ClientSide*>(arg);
  if (!side.ready.load(std::memory_order_acquire)) return 0;
  const float* in[2] = {};
  float* out[2] = {};
  for (unsigned ch = 0; ch < side.engine->channels(); ++ch) {
    in[ch] = static_cast<const float*>(jack_port_get_buffer(side.in[ch], frames));
    out[ch] = static_cast<float*>(jack_port_get_buffer(side.out[ch], frames));
    if (in[ch] == nullptr || out[ch] == nullptr) return 0;
  }
  side.engine->Process(in, out, frames);
  return 0;
}

int OnSampleRate(jack_nframes_t rate, void* arg) {
  static_cast<ClientSide*>(arg)->engine->RequestPrepare(static_cast<double>(rate), 0);
  return 0;
}

int OnBufferSize(jack_nframes_t frames, void* arg) {
  static_cast<ClientSide*>(arg)->engine->RequestPrepare(0.0, frames);
  return 0;
}

// The engine's delay added to what reaches each input (capture) and to what each output feeds
// (playback), channel by channel.
void OnLatency(jack_latency_callback_mode_t mode, void* arg) {
  auto& side = *static_cast<ClientSide*>(arg);
  if (!side.ready.load(std::memory_order_acquire)) return;
  const auto own = static_cast<jack_nframes_t>(side.engine->Latency());
  for (unsigned ch = 0; ch < side.engine->channels(); ++ch) {
    jack_latency_range_t range{};
    if (mode == JackCaptureLatency) {
      jack_port_get_latency_range(side.in[ch], JackCaptureLatency, &range);
      range.min += own;
      range.max += own;
      jack_port_set_latency_range(side.out[ch], JackCaptureLatency, &range);
    } else {
      jack_port_get_latency_range(side.out[ch], JackPlaybackLatency, &range);
      range.min += own;
      range.max += own;
      jack_port_set_latency_range(side.in[ch], JackPlaybackLatency, &range);
    }
  }
}

int OnXrun(void* arg) {
  static_cast<ClientSide*>(arg)->xruns.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

void OnShutdown(jack_status_t, const char* reason, void* arg) {
  auto& side = *static_cast<ClientSide*>(arg);
  if (!side.shutdown.load(std::memory_order_relaxed)) {
    std::snprintf(side.reason, sizeof side.reason, "%s", reason != nullptr ? reason : "");
  }
  side.shutdown.store(true, std::memory_order_release);
}

// libjack prints its own diagnostics (a server it cannot reach, for one); the command reports the
// outcome itself in one line, and passes them on only with --verbose.
std::atomic<bool> g_jackVerbose{false};
void JackMessage(const char* message) {
  if (g_jackVerbose.load(std::memory_order_relaxed)) std::fprintf(stderr, "warmglow: jack: %s\n", message);
}

// Holds SIGINT and SIGTERM back on this thread while it lives. libjack's threads, made meanwhile, inherit
// the mask and so never take them; and a stop asked for while the client starts waits until it has
// started instead of breaking one of libjack's waits half-way (it would report that as a failure).
class StopSignalsHeld {
 public:
  StopSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~StopSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

 private:
  sigset_t previous_{};
};

// The client, closed (and deactivated) on every way out.
class Client {
 public:
  explicit Client(jack_client_t* client) : client_(client) {}
  ~Client() { Close(); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  jack_client_t* get() const { return client_; }
  void Activated() { active_ = true; }
  // After the server went away the client cannot be deactivated, only closed.
  void Close(bool serverGone = false) {
    if (client_ == nullptr) return;
    if (active_ && !serverGone) jack_deactivate(client_);
    jack_client_close(client_);
    client_ = nullptr;
  }

 private:
  jack_client_t* client_;
  bool active_ = false;
};

std::string OpenFailure(jack_status_t status, const std::string& name) {
  if ((status & JackNameNotUnique) != 0) {
    return "a JACK client named '" + name + "' is already running (choose another with --name)";
  }
  if ((status & (JackServerFailed | JackServerError)) != 0) {
    return "no JACK server is running: start one (e.g. 'jackd -d alsa', or qjackctl), or run under PipeWire "
           "as 'pw-jack warmglow live'";
  }
  if ((status & JackInvalidOption) != 0) return "JACK refused the client name '" + name + "'";
  char text[80];
  std::snprintf(text, sizeof text, "JACK refused the client (status 0x%x)", static_cast<unsigned>(status));
  return text;
}

// The other client's port for a --connect option: it must exist and point the right way. Empty when it
// does; else why not.
std::string CheckPeerPort(jack_client_t* client, const std::string& name, bool feedsUs) {
  jack_port_t* port = jack_port_by_name(client, name.c_str());
  const char* option = feedsUs ? "--connect-in" : "--connect-out";
  if (port == nullptr) return std::string(option) + ": no JACK port '" + name + "' (list them with jack_lsp)";
  const int flags = jack_port_flags(port);
  if (feedsUs && (flags & JackPortIsOutput) == 0) {
    return std::string(option) + ": '" + name + "' is an input port; it needs a port that sends audio";
  }
  if (!feedsUs && (flags & JackPortIsInput) == 0) {
    return std::string(option) + ": '" + name + "' is an output port; it needs a port that takes audio";
  }
  return {};
}

// The names of the client's ports: in_1, out_1 (mono); in_1, in_2, out_1, out_2 (stereo; 1 left, 2 right).
std::vector<std::string> PortNames(bool mono, bool input) {
  const char* prefix = input ? "in_" : "out_";
  std::vector<std::string> names;
  for (unsigned ch = 0; ch < (mono ? 1u : 2u); ++ch) names.push_back(prefix + std::to_string(ch + 1));
  return names;
}

}  // namespace

int RunLive(const LiveOptions& options, std::ostream& err, bool (*stopRequested)()) {
  auto fail = [&err](const std::string& message) {
    err << "warmglow: error: " << message << "\n";
    err.flush();
    return kLiveError;
  };
  if (options.editor && !LiveEditor::DisplayAvailable()) {
    return fail("the editor needs an X display, and none can be opened (DISPLAY is unset or unreachable); "
                "use --no-editor to run without it");
  }

  // The instance: state first, then the preset, then single values on top.
  LiveEngine engine(options.mono ? 1u : 2u);
  InstanceValues& values = engine.values();
  InstancePresets& presets = engine.presets();
  const std::filesystem::path statePath =
      options.statePath.empty() ? DefaultStatePath(options.clientName) : options.statePath;
  // Refused now rather than losing the session's state at exit.
  if (statePath.empty()) {
    return fail("there is no settings folder to keep the state in (" + platform::ConfigFolderProblem() +
                "); set HOME or XDG_CONFIG_HOME, or give --state FILE");
  }
  std::string why;
  uint32_t stateFlags = 0;
  const StateRead read = ReadStateFile(statePath, presets, stateFlags, why);
  if (read == StateRead::Damaged) {
    return fail("the state file '" + statePath.string() + "' is " + why +
                "; it is left as it is (move it away to start from the defaults)");
  }
  if (!CheckStateWritable(statePath, why)) {
    return fail("the state file '" + statePath.string() + "' could not be saved at exit: " + why);
  }
  if (read == StateRead::Loaded) presets.PublishValues();
  // The instance's setting, kept with its state; --hq or --no-hq switch it for this run and the next.
  engine.SetHighQuality(options.highQuality.value_or((stateFlags & kStateFlagHighQuality) != 0));
  if (options.startSettings) {
    PresetManager& manager = presets.presetManager();
    {
      const PresetLock lock;
      options.startSettings(manager);
    }
    presets.PublishValues();
  }

  if (options.clientName.size() + 1 > static_cast<std::size_t>(jack_client_name_size())) {
    return fail("the client name is longer than JACK takes (" + std::to_string(jack_client_name_size() - 1) +
                " bytes)");
  }
  g_jackVerbose.store(options.verbose, std::memory_order_relaxed);
  jack_set_error_function(JackMessage);
  jack_set_info_function(JackMessage);
  std::optional<StopSignalsHeld> held(std::in_place);
  jack_status_t status{};
  // Never starts a server: a live effect on a server it started itself would hear nothing.
  Client client(jack_client_open(options.clientName.c_str(),
                                 static_cast<jack_options_t>(JackNoStartServer | JackUseExactName), &status));
  if (client.get() == nullptr) {
    // jackd2 answers a taken exact name as a server error, without JackNameNotUnique: a client under a
    // name the server may change tells the two apart.
    if ((status & JackNameNotUnique) == 0 && (status & (JackServerFailed | JackServerError)) != 0) {
      jack_status_t again{};
      if (jack_client_t* probe = jack_client_open(options.clientName.c_str(), JackNoStartServer, &again)) {
        jack_client_close(probe);
        status = static_cast<jack_status_t>(status | JackNameNotUnique);
      }
    }
    return fail(OpenFailure(status, options.clientName));
  }

  // Outside the engine's range it would run with the time constants of the nearest limit: refused.
  if (const double rate = jack_get_sample_rate(client.get()); rate < kMinSampleRate || rate > kMaxSampleRate) {
    std::ostringstream message;
    message << "the JACK server runs at " << rate << " Hz; warmGlow runs from " << kMinSampleRate << " to "
            << kMaxSampleRate << " Hz";
    return fail(message.str());
  }

  ClientSide side;
  side.engine = &engine;
  const unsigned channels = engine.channels();
  const auto inNames = PortNames(options.mono, true);
  const auto outNames = PortNames(options.mono, false);
  // Inputs first, so that port lists show in_1, in_2, out_1, out_2.
  for (unsigned ch = 0; ch < channels; ++ch) {
    side.in[ch] = jack_port_register(client.get(), inNames[ch].c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    if (side.in[ch] == nullptr) return fail("JACK refused to register the port " + inNames[ch]);
  }
  for (unsigned ch = 0; ch < channels; ++ch) {
    side.out[ch] = jack_port_register(client.get(), outNames[ch].c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    if (side.out[ch] == nullptr) return fail("JACK refused to register the port " + outNames[ch]);
  }
  for (const std::string& name : options.connectIn) {
    if (const std::string problem = CheckPeerPort(client.get(), name, true); !problem.empty()) return fail(problem);
  }
  for (const std::string& name : options.connectOut) {
    if (const std::string problem = CheckPeerPort(client.get(), name, false); !problem.empty()) return fail(problem);
  }
  if (jack_set_process_callback(client.get(), OnProcess, &side) != 0 ||
      jack_set_sample_rate_callback(client.get(), OnSampleRate, &side) != 0 ||
      jack_set_buffer_size_callback(client.get(), OnBufferSize, &side) != 0 ||
      jack_set_xrun_callback(client.get(), OnXrun, &side) != 0 ||
      jack_set_latency_callback(client.get(), OnLatency, &side) != 0) {
    return fail("JACK refused the client's callbacks");
  }
  jack_on_info_shutdown(client.get(), OnShutdown, &side);
  engine.RequestPrepare(static_cast<double>(jack_get_sample_rate(client.get())), jack_get_buffer_size(client.get()));
  bool outOfRange = false;
  engine.PrepareIfParked(false, &outOfRange);

  side.ready.store(true, std::memory_order_release);
  if (jack_activate(client.get()) != 0) return fail("JACK refused to activate the client");
  client.Activated();
  const std::string self = jack_get_client_name(client.get());
  for (std::size_t i = 0; i < options.connectIn.size(); ++i) {
    const std::string ours = self + ":" + inNames[i % channels];
    if (int r = jack_connect(client.get(), options.connectIn[i].c_str(), ours.c_str()); r != 0 && r != EEXIST) {
      return fail("--connect-in: JACK refused to connect '" + options.connectIn[i] + "' to '" + ours + "'");
    }
  }
  for (std::size_t i = 0; i < options.connectOut.size(); ++i) {
    const std::string ours = self + ":" + outNames[i % channels];
    if (int r = jack_connect(client.get(), ours.c_str(), options.connectOut[i].c_str()); r != 0 && r != EEXIST) {
      return fail("--connect-out: JACK refused to connect '" + ours + "' to '" + options.connectOut[i] + "'");
    }
  }

  // Started: a stop asked for meanwhile arrives now, and ends the loop below at once.
  held.reset();

  std::unique_ptr<LiveEditor> editor;
  if (options.editor) {
    editor = std::make_unique<LiveEditor>(presets, values, engine);
    if (!editor->Open(QRV_PRODUCT_NAME " - " + self)) {
      editor.reset();
      return fail("the editor window could not be opened on the X display");
    }
  }
  if (options.verbose) {
    err << "warmglow: live as '" << self << "' at " << jack_get_sample_rate(client.get()) << " Hz, "
        << jack_get_buffer_size(client.get()) << " frames; state " << statePath.string();
    if (engine.highQuality()) err << "; High quality, " << engine.Latency() << " frames of latency";
    err << "\n";
    err.flush();
  }
  // A server whose rate moves out of the range mid-session gets silence, said once each time.
  bool silent = false;
  auto sayIfRangeChanged = [&] {
    if (outOfRange == silent) return;
    silent = outOfRange;
    if (silent) {
      err << "warmglow: warning: the JACK server now runs at " << engine.sampleRate() << " Hz, outside "
          << kMinSampleRate << " to " << kMaxSampleRate << " Hz; passing silence until it runs within\n";
    } else {
      err << "warmglow: the JACK server runs at " << engine.sampleRate() << " Hz; processing again\n";
    }
    err.flush();
  };

  uint32_t xrunsShown = 0;
  uint32_t latencyShown = engine.Latency();
  int result = kLiveOk;
  for (;;) {
    if (side.shutdown.load(std::memory_order_acquire)) {
      result = kLiveServerGone;
      break;
    }
    if (stopRequested != nullptr && stopRequested()) break;
    if (editor != nullptr && editor->closeRequested()) break;
    if (engine.PrepareIfParked(true, &outOfRange)) {
      if (options.verbose) {
        err << "warmglow: now at " << engine.sampleRate() << " Hz, " << engine.blockSize()
            << " frames\n";
      }
      sayIfRangeChanged();
    }
    // High quality switched meanwhile: the graph's latencies are recomputed with the new delay.
    if (const uint32_t latency = engine.Latency(); latency != latencyShown) {
      latencyShown = latency;
      jack_recompute_total_latencies(client.get());
    }
    if (const uint32_t xruns = side.xruns.load(std::memory_order_relaxed); xruns != xrunsShown) {
      if (options.verbose) err << "warmglow: xrun (" << xruns << " so far)\n";
      xrunsShown = xruns;
    }
    if (editor != nullptr) {
      editor->Idle(static_cast<int>(kPollInterval.count()));
    } else {
      std::this_thread::sleep_for(kPollInterval);
    }
  }

  editor.reset();
  client.Close(result == kLiveServerGone);
  const std::string gone = result == kLiveServerGone
                               ? std::string("warmglow: the JACK server went away") +
                                     (side.reason[0] != '\0' ? std::string(": ") + side.reason : "")
                               : std::string();
  if (!WriteStateFile(statePath, presets, engine.highQuality() ? kStateFlagHighQuality : 0u, why)) {
    if (!gone.empty()) err << gone << "\n";
    err << "warmglow: error: the state could not be saved to '" << statePath.string() << "': " << why << "\n";
    return kLiveError;
  }
  if (!gone.empty()) err << gone << "; state saved\n";
  if (options.verbose) err << "warmglow: " << xrunsShown << " xruns; state saved to " << statePath.string() << "\n";
  err.flush();
  return result;
}

}  // namespace qrv::jack
