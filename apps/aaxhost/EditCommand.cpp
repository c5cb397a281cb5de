#include "apps/aaxhost/EditCommand.h"

#include <sndfile.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

#include <unistd.h>

#include "format/aax/host/AAXHost.h"
#include "format/aax/host/AAXHostView.h"

namespace qrv::aaxhost {
namespace {

constexpr const char* kEditUsage = "usage: aaxhost edit [IN] [--bundle BUNDLE] [--zoom PERCENT] [--log]\n";
constexpr int32_t kBlock = 256;
constexpr float kSilenceRate = 48000.0f;

volatile std::sig_atomic_t gStop = 0;
extern "C" void OnStopSignal(int) { gStop = 1; }

struct Source {
  int channels = 2;
  float rate = kSilenceRate;
  std::vector<std::vector<float>> samples;  // empty: silence
};

bool ReadSource(const std::string& path, Source& source, std::ostream& err) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (f == nullptr) {
    err << "aaxhost: cannot read " << path << ": " << sf_strerror(nullptr) << "\n";
    return false;
  }
  if (info.channels < 1 || info.channels > 2 || info.samplerate < 8000 || info.samplerate > 384000 ||
      info.frames <= 0 || info.frames > static_cast<sf_count_t>(info.samplerate) * 3600) {
    err << "aaxhost: " << path << ": needs mono or stereo audio of 1 frame to an hour at 8 to 384 kHz\n";
    sf_close(f);
    return false;
  }
  source.channels = info.channels;
  source.rate = static_cast<float>(info.samplerate);
  std::vector<float> interleaved(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
  const sf_count_t got = sf_readf_float(f, interleaved.data(), info.frames);
  sf_close(f);
  if (got <= 0) {
    err << "aaxhost: " << path << ": no audio could be read\n";
    return false;
  }
  source.samples.assign(static_cast<std::size_t>(info.channels), std::vector<float>(static_cast<std::size_t>(got)));
  for (sf_count_t i = 0; i < got; ++i)
    for (int c = 0; c < info.channels; ++c)
      source.samples[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] =
          interleaved[static_cast<std::size_t>(i) * static_cast<std::size_t>(info.channels) + static_cast<std::size_t>(c)];
  return true;
}

// Loops the source through the instance on an audio thread of its own, one block per block period,
// without an audio device.
class RealtimeLoop {
 public:
  RealtimeLoop(Instance& instance, const Source& source) : instance_(instance), source_(source) {
    thread_ = std::thread([this] { Run(); });
  }
  ~RealtimeLoop() {
    running_.store(false);
    thread_.join();
  }

 private:
  void Run() {
    const int channels = instance_.Channels();
    std::vector<std::vector<float>> in(static_cast<std::size_t>(channels), std::vector<float>(kBlock, 0.0f));
    std::vector<std::vector<float>> out = in;
    std::vector<const float*> ip;
    std::vector<float*> op;
    for (int c = 0; c < channels; ++c) {
      ip.push_back(in[static_cast<std::size_t>(c)].data());
      op.push_back(out[static_cast<std::size_t>(c)].data());
    }
    const auto period = std::chrono::duration<double>(kBlock / static_cast<double>(source_.rate));
    auto next = std::chrono::steady_clock::now();
    std::size_t at = 0;
    while (running_.load()) {
      if (!source_.samples.empty()) {
        const std::size_t length = source_.samples[0].size();
        for (std::size_t i = 0; i < kBlock; ++i, at = (at + 1) % length)
          for (int c = 0; c < channels; ++c)
            in[static_cast<std::size_t>(c)][i] =
                source_.samples[std::min<std::size_t>(static_cast<std::size_t>(c), source_.samples.size() - 1)][at];
      }
      instance_.RenderBlock(ip.data(), op.data(), kBlock);
      next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
      std::this_thread::sleep_until(next);
    }
  }
  Instance& instance_;
  const Source& source_;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

// Keeps standard output for the log alone while it lives: what else is written to descriptor 1 goes to
// standard error.
class LogChannel {
 public:
  LogChannel() {
    std::fflush(stdout);
    const int fd = dup(STDOUT_FILENO);
    if (fd < 0) return;
    file_ = fdopen(fd, "w");
    if (file_ == nullptr) {
      close(fd);
      return;
    }
    dup2(STDERR_FILENO, STDOUT_FILENO);
  }
  ~LogChannel() {
    if (file_ == nullptr) return;
    std::fflush(stdout);
    std::fflush(file_);
    dup2(fileno(file_), STDOUT_FILENO);
    std::fclose(file_);
  }
  void Line(const std::string& id, double value) {
    if (file_ == nullptr) return;
    std::fprintf(file_, "%s=%g\n", id.c_str(), value);
    std::fflush(file_);
  }

 private:
  FILE* file_ = nullptr;
};

// Module, instance, view and audio for one editing session; the exit status.
int Session(const Source& source, const std::string& bundle, double zoomPercent, bool log, std::ostream& err) {
  std::unique_ptr<LogChannel> channel;
  if (log) channel = std::make_unique<LogChannel>();
  std::string error;
  auto module = Module::Load(bundle, &error);
  if (module == nullptr) {
    err << "aaxhost: " << error << "\n";
    return 1;
  }
  Host host(std::move(module));
  host.Startup();
  if (const AAX_Result r = host.Register(); r != AAX_SUCCESS) {
    err << "aaxhost: registration failed: " << AAX_ResultName(r) << " (" << r << ")\n";
    host.Shutdown();
    return 1;
  }
  int status = 0;
  {
    auto instance = host.CreateInstance(static_cast<std::size_t>(source.channels - 1), source.rate);
    if (instance == nullptr) {
      err << "aaxhost: the module made no instance\n";
      host.Shutdown();
      return 1;
    }
    if (channel != nullptr)
      instance->SetUpdateListener([&channel](const std::string& id, double value) { channel->Line(id, value); });
    HostView view(*instance);
    if (!view.Open(&error)) {
      err << "aaxhost: " << error << "\n";
      status = 1;
    } else {
      if (zoomPercent > 0.0) {
        const double factor = zoomPercent / 100.0;
        instance->NotifyView(AAX_eNotificationEvent_ViewZoom, &factor, sizeof factor);
      }
      instance->StartTimer(std::chrono::milliseconds(5));
      {
        RealtimeLoop audio(*instance, source);
        while (gStop == 0 && !view.closeRequested()) view.Step(HostView::kGuiTimerMs);
      }
      instance->StopTimer();
      view.Close();
    }
  }
  host.Shutdown();
  return status;
}

}  // namespace

int RunEdit(const std::vector<std::string>& args, const std::string& defaultBundle, std::ostream& err) {
  std::string inPath, bundle = defaultBundle;
  double zoomPercent = 0.0;
  bool log = false;
  for (std::size_t k = 1; k < args.size(); ++k) {
    const std::string& a = args[k];
    if ((a == "--bundle" || a == "--zoom") && k + 1 >= args.size()) {
      err << "aaxhost: " << a << " needs a value\n";
      return 2;
    }
    if (a == "--bundle") {
      bundle = args[++k];
    } else if (a == "--zoom") {
      const std::string& v = args[++k];
      char* end = nullptr;
      zoomPercent = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end != '\0' || !(zoomPercent > 0.0 && zoomPercent < 1e6)) {
        err << "aaxhost: --zoom takes a percentage, not \"" << v << "\"\n";
        return 2;
      }
    } else if (a == "--log") {
      log = true;
    } else if (!a.empty() && a[0] != '-' && inPath.empty()) {
      inPath = a;
    } else {
      err << "aaxhost: unexpected argument " << a << "\n" << kEditUsage;
      return 2;
    }
  }
  Source source;
  if (!inPath.empty() && !ReadSource(inPath, source, err)) return 2;

  // From here on a signal ends the session cleanly, whenever it comes.
  gStop = 0;
  struct sigaction action {};
  action.sa_handler = &OnStopSignal;
  sigemptyset(&action.sa_mask);
  struct sigaction oldInt {}, oldTerm {};
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);
  const int status = Session(source, bundle, zoomPercent, log, err);
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);
  return status;
}

}  // namespace qrv::aaxhost
